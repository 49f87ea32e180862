// The INI reader on arbitrary text: parsing, reading every kind of value,
// setting values and writing the text again. Checks that an unchanged
// document is written as it was read (LF text byte for byte, any text the
// same after a second round), and that a value set reads back.
#include "app/ini_file.h"
#include "app/settings_ini.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvex;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile ini(text);
    // A document is written with one kind of line end (the one it was read
    // with); text with LF ends only comes back byte for byte.
    const bool lfOnly = text.find('\r') == std::string_view::npos && (text.empty() || text.back() == '\n');
    if (lfOnly && ini.Text() != text) std::abort();
    if (IniFile(ini.Text()).Text() != ini.Text()) std::abort();
    const AppSettings settings = LoadSettings(ini);
    StoreSettings(settings, (size & 1) != 0, ini);
    IniFile again(ini.Text());
    if (again.Text() != ini.Text()) std::abort();
    ini.Set("Fuzz", "Key", "a value");
    if (ini.GetString("Fuzz", "Key") != "a value") std::abort();
    ini.SetInt("Fuzz", "Number", -12345);
    if (ini.GetInt("Fuzz", "Number", 0) != -12345) std::abort();
    return 0;
}
