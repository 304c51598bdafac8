// Times and texts: calendar fields from the time zone database, texts in the C locale.
#include <commonvcqx/text/ValueFormatting.h>
#include <commonvcqx/time/Time.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main() {
    // guide: time-zone
    // The library reads TZ (else /etc/localtime); a program that changes TZ calls tzset.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    TTime summer(2024, 7, 1, 12, 30, 0);  // local time: 10:30 UTC, by July's rule
    TTime winter(2024, 1, 1, 12, 30, 0);  // 11:30 UTC, by January's rule
    TTime late(2038, 1, 20, 0, 0, 0);     // beyond the 32-bit word: -1, never wrapped
    // guide: end

    // guide: locale
    std::setlocale(LC_ALL, "");       // the user's locale (GTK and Qt set it at start-up)
    std::setlocale(LC_NUMERIC, "C");  // TString(double) and to_double are printf and atof
    TString gain(0.5);                // "0.50", never "0,50"
    TString date = summer.ConvertToString("%a %d %b %Y %H:%M");   // "Mon 01 Jul 2024 12:30"
    TString level = AudioLevelToString(0.5f, kLevelDecibels, 2);  // "-6.02 dB", always a "."
    int32_t now = TTime::GetTickCount();  // seconds since 1970, not milliseconds
    // guide: end

    const bool ok = summer.GetTime() == 1719829800 && winter.GetTime() == 1704108600 &&
                    late.GetTime() == -1 && date == "Mon 01 Jul 2024 12:30" &&
                    level == "-6.02 dB" && gain == "0.50" && now > 1700000000;
    std::printf("%s, %s; %d\n", date.c_str(), level.c_str(), int(late.GetTime()));
    return ok ? 0 : 1;
}
