#include "platform/posix/PosixLocaleFormats.h"

#include <QLocale>

namespace velmora {

namespace {
// Narrow and ordinary no-break spaces become plain blanks, so a user can type the text.
std::string Plain(QString text)
{
    text.replace(QChar(0x202F), QChar(' '));
    text.replace(QChar(0x00A0), QChar(' '));
    return text.toStdString();
}
} // namespace

LocaleFormats PosixLocaleFormats::Formats()
{
    return FormatsOf(QLocale::system());
}

LocaleFormats FormatsOf(const QLocale& locale)
{
    LocaleFormats f;
    f.shortDatePattern = NormalizedPattern(Plain(locale.dateFormat(QLocale::ShortFormat)));
    f.longTimePattern = NormalizedPattern(Plain(locale.timeFormat(QLocale::LongFormat)));
    const QString decimal = locale.decimalPoint();
    f.decimalSeparator = decimal.size() == 1 && decimal.at(0).unicode() < 0x80 ? decimal.at(0).toLatin1() : '.';
    if (!locale.amText().isEmpty()) {
        f.amText = Plain(locale.amText());
    }
    if (!locale.pmText().isEmpty()) {
        f.pmText = Plain(locale.pmText());
    }
    for (int i = 0; i < 12; ++i) {
        f.shortMonthNames[static_cast<std::size_t>(i)] = Plain(locale.monthName(i + 1, QLocale::ShortFormat));
        f.longMonthNames[static_cast<std::size_t>(i)] = Plain(locale.monthName(i + 1, QLocale::LongFormat));
    }
    // QLocale counts Monday as 1 and Sunday as 7; the table starts with Sunday.
    for (int i = 0; i < 7; ++i) {
        const int qtDay = i == 0 ? 7 : i;
        f.shortDayNames[static_cast<std::size_t>(i)] = Plain(locale.dayName(qtDay, QLocale::ShortFormat));
        f.longDayNames[static_cast<std::size_t>(i)] = Plain(locale.dayName(qtDay, QLocale::LongFormat));
    }
    return f;
}

} // namespace velmora
