#include "kit/Desktop.h"

#include "kit/Store.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableView>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
// The design's own text size: captions of 13 to 15 pixels, about 11 points.
constexpr double designPoints = 11.0;
// Room for the title bar of a window that has not been shown yet, whose
// frame is therefore unknown.
constexpr int titleBarAllowance = 32;

QMargins marginsOf(const QWidget* window) {
    const QRect frame = window->frameGeometry(), client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// The frame a window has or will get: its own once shown, else that of
// another window on screen, else room for a title bar (none where there is
// no window manager at all).
QMargins frameAllowance(const QWidget* window) {
    // While it is being shown the window manager has not framed it yet.
    if (window->isVisible() && !marginsOf(window).isNull())
        return marginsOf(window);
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other->isVisible() && other->frameGeometry() != other->geometry())
            return marginsOf(other);
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {};
    return {0, titleBarAllowance, 0, 0};
}

// Children that Qt made for a composite widget (viewports, scroll bars, the
// line edit of a spin box) are that widget's business.
bool placedByHand(const QWidget* widget) {
    if (widget->isWindow() || widget->objectName().startsWith(QLatin1String("qt_")))
        return false;
    const QWidget* parent = widget->parentWidget();
    if (!parent || parent->layout())
        return false;
    return !qobject_cast<const QAbstractScrollArea*>(parent) &&
           !qobject_cast<const QAbstractSpinBox*>(parent) && !qobject_cast<const QComboBox*>(parent);
}

// Return and Enter press a focused tool button, as Space does; a flat tool
// button shows its raised face while it has the focus, which would otherwise
// not show at all.
class KeyboardButtons : public QObject {
public:
    using QObject::QObject;
    static constexpr const char* raisedForFocus = "kitRaisedForFocus";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* tool = qobject_cast<QToolButton*>(watched);
        if (tool && event->type() == QEvent::FocusIn) {
            // Only keyboard focus: a click gives it too, and then the face shows anyway.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (tool->autoRaise() && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                      reason == Qt::ShortcutFocusReason)) {
                tool->setProperty(raisedForFocus, true);
                tool->setAutoRaise(false);
            }
        } else if (tool && event->type() == QEvent::FocusOut && tool->property(raisedForFocus).toBool()) {
            tool->setProperty(raisedForFocus, false);
            tool->setAutoRaise(true);
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            auto* button = qobject_cast<QAbstractButton*>(watched);
            if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
                if (button->isEnabled())
                    button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

class InputWatch : public QObject {
public:
    using QObject::QObject;
    bool keyboard = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            keyboard = true;
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            keyboard = false;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

QString WithoutMnemonic(const QString& caption) {
    QString result;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size())
            ++i;
        result.append(caption.at(i));
    }
    return result;
}

// ------------------------------------------------------------------ screens

bool PositionsAreOurs() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect FitIntoArea(const QRect& wanted, const QRect& area, const QSize& minimum) {
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(area.size()).expandedTo(minimum));
    if (fitted.right() > area.right())
        fitted.moveRight(area.right());
    if (fitted.bottom() > area.bottom())
        fitted.moveBottom(area.bottom());
    if (fitted.left() < area.left())
        fitted.moveLeft(area.left());
    if (fitted.top() < area.top())
        fitted.moveTop(area.top());
    return fitted;
}

QRect AvailableAreaAt(const QPoint& position, const QWidget* window) {
    const QScreen* screen = PositionsAreOurs() ? QGuiApplication::screenAt(position) : nullptr;
    for (const QWidget* w = window; !screen && w; w = w->parentWidget())
        if (w->isVisible())
            screen = w->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(position, QSize(1 << 20, 1 << 20));
}

void PlaceFitted(QWidget* window, const QPoint& position, const QSize& size) {
    const QMargins frame = frameAllowance(window);
    const QRect area = AvailableAreaAt(position, window);
    const QRect fitted = FitIntoArea(QRect(position, size.grownBy(frame)), area,
                                     window->minimumSize().grownBy(frame).boundedTo(area.size()));
    window->resize(fitted.size().shrunkBy(frame).expandedTo(window->minimumSize()));
    if (PositionsAreOurs())
        window->move(fitted.topLeft());
}

QSize StoredSize(const StoreKey& width, const StoreKey& height) {
    const QSize stored(Store::readInteger(width), Store::readInteger(height));
    const QSize designed(QString::fromLatin1(width.defaultValue).toInt(),
                         QString::fromLatin1(height.defaultValue).toInt());
    return FontScale() > 1.0 ? stored.expandedTo(designed * FontScale()) : stored;
}

void ResizeFitted(QWidget* window, const QSize& size) {
    const QMargins frame = frameAllowance(window);
    const QRect area = AvailableAreaAt(window->pos(), window);
    const QSize fitted = size.grownBy(frame).boundedTo(area.size()).shrunkBy(frame);
    window->resize(fitted.expandedTo(window->minimumSize()));
}

void FitFixedWindow(QWidget* window, const QSize& design) {
    const QMargins frame = frameAllowance(window);
    const QSize room = AvailableAreaAt(window->pos(), window).size().shrunkBy(frame);
    auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("FitScroll"), Qt::FindDirectChildrenOnly);
    if (!scroll && design.width() <= room.width() && design.height() <= room.height()) {
        window->resize(design);
        return;
    }
    if (!scroll) {
        // The focus chain as it is, to be laid again once the controls moved.
        QList<QWidget*> chain;
        for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
            chain << w;
        auto* content = new QWidget;
        content->setObjectName(QStringLiteral("FitContent"));
        const QObjectList children = window->children();
        for (QObject* child : children) {
            auto* w = qobject_cast<QWidget*>(child);
            if (!w || w->isWindow())
                continue;
            const QRect place = w->geometry();
            const bool hidden = w->isHidden();
            w->setParent(content);
            w->setGeometry(place);
            w->setHidden(hidden);
        }
        content->resize(design);
        scroll = new QScrollArea(window);
        scroll->setObjectName(QStringLiteral("FitScroll"));
        scroll->setFrameShape(QFrame::NoFrame);
        // The window's own background shows through, as without the scroll area.
        scroll->viewport()->setAutoFillBackground(false);
        scroll->setWidget(content);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(scroll);
        for (qsizetype i = 1; i < chain.size(); ++i)
            QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    window->resize(design.boundedTo(room));
}

// ------------------------------------------------------------------ text size

double FontScale() {
    const QFont font = QApplication::font();
    double points = font.pointSizeF();
    if (points <= 0)
        points = font.pixelSize() * 72.0 / 96.0;
    return std::max(1.0, points / designPoints);
}

int ScaledPixels(int pixels) {
    return int(std::lround(pixels * FontScale()));
}

void ScaleFixedLayout(QWidget* window) {
    double scale = FontScale();
    if (scale <= 1.0)
        return;
    // Never larger than the screen: a window that would not fit gets less
    // room, and its text shrinks in step, so that nothing is cut off.
    const QMargins frame = frameAllowance(window);
    const QSize area = AvailableAreaAt(window->pos(), window).size().shrunkBy(frame);
    const double fits = std::min(double(area.width()) / std::max(1, window->width()),
                                 double(area.height()) / std::max(1, window->height()));
    if (fits < scale) {
        const double shrink = std::max(1.0, fits) / scale;
        QList<QWidget*> fonted = window->findChildren<QWidget*>();
        fonted.prepend(window);
        for (QWidget* w : fonted) {
            if (!w->testAttribute(Qt::WA_SetFont) || w->font().pixelSize() <= 0)
                continue;
            QFont font = w->font();
            font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * shrink))));
            w->setFont(font);
        }
        scale = std::max(1.0, fits);
    }
    auto scaled = [scale](int value) { return int(std::lround(value * scale)); };
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!placedByHand(child))
            continue;
        const QRect g = child->geometry();
        child->setGeometry(scaled(g.x()), scaled(g.y()), scaled(g.width()), scaled(g.height()));
    }
    if (window->minimumSize() == window->maximumSize()) {
        window->setFixedSize(scaled(window->width()), scaled(window->height()));
        return;
    }
    window->setMinimumSize(scaled(window->minimumWidth()), scaled(window->minimumHeight()));
    window->resize(scaled(window->width()), scaled(window->height()));
}

void FitCaptions(QWidget* root) {
    if (FontScale() <= 1.0)
        return;
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (!placedByHand(child))
            continue;
        QSize needed;
        const QFontMetrics metrics(child->font());
        if (auto* label = qobject_cast<QLabel*>(child)) {
            if (label->wordWrap() || label->text().isEmpty() || label->pixmap().cacheKey())
                continue;
            needed = label->sizeHint();
        } else if (qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child)) {
            needed = child->sizeHint();
        } else if (auto* button = qobject_cast<QPushButton*>(child)) {
            const QString caption = WithoutMnemonic(button->text());
            needed = QSize(metrics.horizontalAdvance(caption) + 16, metrics.height() + 8);
        } else {
            continue;
        }
        if (needed.width() > child->width() || needed.height() > child->height())
            child->resize(std::max(needed.width(), child->width()),
                          std::max(needed.height(), child->height()));
    }
}

void FitHeaderSections(QTableView* view, const StoreKey* designed, int columns) {
    if (FontScale() <= 1.0)
        return;
    QHeaderView* header = view->horizontalHeader();
    const QFontMetrics metrics(header->font());
    for (int section = 0; section < columns && section < header->count(); ++section) {
        const QString text = view->model()->headerData(section, Qt::Horizontal).toString();
        const int needed = std::max(ScaledPixels(QString::fromLatin1(designed[section].defaultValue).toInt()),
                                    metrics.horizontalAdvance(text) + 12);
        if (header->sectionSize(section) < needed)
            header->resizeSection(section, needed);
    }
}

// ------------------------------------------------------------------ language

bool LoadDutchTranslations(QCoreApplication* application) {
    auto* translator = new QTranslator(application);
    if (!translator->load(QLocale(QLocale::Dutch, QLocale::Netherlands), QStringLiteral("qt"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

// ------------------------------------------------------------------ keyboard and screen readers

QString HintTitle(const QString& hint) {
    QString title = hint.section(u'\n', 0, 0);
    const qsizetype open = title.lastIndexOf(QLatin1String(" ("));
    if (open > 0 && title.endsWith(u')'))
        title.truncate(open);
    return title.trimmed();
}

void MakeKeyboardButton(QToolButton* button, const QKeySequence& key) {
    static KeyboardButtons* keyboardButtons = new KeyboardButtons(QCoreApplication::instance());
    button->setFocusPolicy(Qt::StrongFocus);
    const QString title = HintTitle(button->toolTip());
    if (!key.isEmpty()) {
        button->setShortcut(key);
        QStringList lines = button->toolTip().split(u'\n');
        lines[0] = title + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + u')';
        button->setToolTip(lines.join(u'\n'));
    }
    button->setAccessibleName(title);
    button->setAccessibleDescription(button->toolTip().section(u'\n', 1));
    button->installEventFilter(keyboardButtons);
}

void AddMnemonics(QWidget* window) {
    // Push buttons (OK, Annuleren, ...) choose first, then check boxes and radio buttons.
    QList<QAbstractButton*> buttons = window->findChildren<QAbstractButton*>();
    std::stable_partition(buttons.begin(), buttons.end(), [](const QAbstractButton* b) {
        return qobject_cast<const QPushButton*>(b) != nullptr;
    });
    QString used;
    auto markOf = [](const QString& text) {
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != u'&')
                continue;
            if (text[i + 1] != u'&')
                return text[i + 1].toLower();
            ++i;
        }
        return QChar();
    };
    for (const QAbstractButton* b : buttons)
        if (const QChar mark = markOf(b->text()); !mark.isNull())
            used += mark;
    for (const QLabel* l : window->findChildren<QLabel*>())
        if (const QChar mark = markOf(l->text()); !mark.isNull())
            used += mark;

    for (QAbstractButton* button : buttons) {
        const QString text = button->text();
        if (qobject_cast<QToolButton*>(button) || text.isEmpty() || text.contains(u'&'))
            continue;
        // First letters of words first, then any letter.
        QList<qsizetype> candidates;
        for (qsizetype i = 0; i < text.size(); ++i)
            if (text[i].isLetter() && (i == 0 || !text[i - 1].isLetter()))
                candidates << i;
        for (qsizetype i = 0; i < text.size(); ++i)
            if (text[i].isLetter() && !candidates.contains(i))
                candidates << i;
        for (const qsizetype at : candidates) {
            const QChar letter = text[at].toLower();
            if (letter.unicode() > 0x7F || used.contains(letter))
                continue;
            used += letter;
            button->setText(text.left(at) + u'&' + text.mid(at));
            break;
        }
    }
}

bool LastInputWasKeyboard() {
    static InputWatch* watch = [] {
        auto* w = new InputWatch(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(w);
        return w;
    }();
    return watch->keyboard;
}

void NameControl(QWidget* control, const QString& name) {
    control->setAccessibleName(WithoutMnemonic(name));
}

namespace {
QAccessibleInterface* windowRoleFactory(const QString&, QObject* object) {
    if (object && object->isWidgetType() && object->property("kitWindowRole").toBool())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}
} // namespace

void GiveWindowRole(QWidget* window) {
    static const bool installed = [] {
        QAccessible::installFactory(windowRoleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    window->setProperty("kitWindowRole", true);
}

void DescribeControls(QWidget* window, std::initializer_list<ControlLook> looks) {
    for (const ControlLook& look : looks) {
        auto* control = window->findChild<QWidget*>(QLatin1String(look.object));
        if (!control)
            continue;
        if (auto* tool = qobject_cast<QToolButton*>(control))
            MakeKeyboardButton(tool, look.key);
        if (look.name)
            NameControl(control, QString::fromUtf8(look.name));
    }
}

void SetTabOrder(QWidget* window, std::initializer_list<const char*> objects) {
    QWidget* previous = nullptr;
    for (const char* object : objects) {
        auto* control = window->findChild<QWidget*>(QLatin1String(object));
        if (!control)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

namespace {
// While it has the focus a frame is drawn as a plain two-pixel line in the
// text colour instead of its own thin border; it gets its border back after.
class FocusRing : public QObject {
public:
    explicit FocusRing(QFrame* frame)
        : QObject(frame), m_shape(frame->frameShape()), m_shadow(frame->frameShadow()),
          m_width(frame->lineWidth()) {
        frame->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* frame = static_cast<QFrame*>(watched);
        if (event->type() == QEvent::FocusIn) {
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            frame->setLineWidth(2);
        } else if (event->type() == QEvent::FocusOut) {
            frame->setFrameShape(m_shape);
            frame->setFrameShadow(m_shadow);
            frame->setLineWidth(m_width);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QFrame::Shape m_shape;
    QFrame::Shadow m_shadow;
    int m_width;
};
} // namespace

void ShowFocusFrame(QFrame* frame) {
    new FocusRing(frame);
}
