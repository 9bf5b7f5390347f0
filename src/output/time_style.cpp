#include "time_style.h"

#include <charconv>

namespace {

constexpr std::time_t six_months = 31556952 / 2; // half a Gregorian year, as ls counts it

// strftime with the user's format, which --time-style gives as ls takes it.
std::size_t format_time(char* text, std::size_t size, const std::string& format,
                        const std::tm& local)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return std::strftime(text, size, format.c_str(), &local);
#pragma GCC diagnostic pop
}

// `format` with each %N, ls's nanoseconds, as nine zeros.
std::string whole_seconds(const std::string& format)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            out += format[i + 1] == 'N' ? std::string("000000000") : format.substr(i, 2);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

} // namespace

bool parse_time_style(const std::string& style, std::time_t now, TimeStyle& parsed,
                      std::string& error)
{
    parsed = TimeStyle{};
    parsed.now = now;
    if (style == "full-iso") {
        parsed.recent_format = parsed.old_format = "%Y-%m-%d %H:%M:%S.000000000 %z";
        parsed.width = 35;
    } else if (style == "iso") {
        parsed.recent_format = "%m-%d %H:%M";
        parsed.old_format = "%Y-%m-%d ";
        parsed.width = 11;
    } else if (!style.empty() && style[0] == '+') {
        const std::size_t feed = style.find('\n');
        parsed.old_format =
            whole_seconds(style.substr(1, feed == std::string::npos ? feed : feed - 1));
        parsed.recent_format =
            feed == std::string::npos ? parsed.old_format : whole_seconds(style.substr(feed + 1));
        parsed.width = 0;
    } else if (style != "long-iso") {
        error = "invalid time style '" + style + "': long-iso, full-iso, iso or +FORMAT";
        return false;
    }
    return true;
}

std::size_t time_text(const TimeStyle& style, std::int64_t seconds, char (&text)[time_text_size])
{
    const std::time_t when = seconds;
    const bool recent = when > style.now - six_months && when <= style.now;
    const std::string& format = recent ? style.recent_format : style.old_format;
    std::tm local{};
    std::size_t length =
        localtime_r(&when, &local) != nullptr ? format_time(text, sizeof text, format, local) : 0;
    if (length == 0 && !format.empty()) {
        length =
            static_cast<std::size_t>(std::to_chars(text, text + sizeof text, seconds).ptr - text);
    }
    return length;
}
