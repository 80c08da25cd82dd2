#include "kit/Clock.h"

namespace {
QDateTime frozen;
}

QDateTime Clock::now() {
    return frozen.isValid() ? frozen : QDateTime::currentDateTime();
}

QDate Clock::today() {
    return now().date();
}

void Clock::set(const QDateTime& moment) {
    frozen = moment;
}
