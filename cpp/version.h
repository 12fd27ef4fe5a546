#pragma once

// The program's version, as shown by "-v" and sent to the web service.
inline constexpr const char *tavriVersion()
{
    return TAVRI_VERSION_STRING;
}
