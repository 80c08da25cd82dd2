#pragma once

#include <QIcon>

// Icons the desktop's icon theme may lack, drawn here so that a bare desktop
// still shows what a button does.

// An address book: a bound book with a person on its cover.
QIcon AddressBookIcon();
// A calendar: a page with a coloured top band, two rings and a grid of days.
QIcon CalendarIcon();
// The desktop theme's icon `theme` where it has one, else `fallback`.
QIcon ThemeIcon(const char* theme, const QIcon& fallback);
