// The names of the configuration files, relative to the configuration folder. Every module that
// opens one of them, and the installer of the templates, takes the name from here.
#pragma once

namespace vantrell::files {

inline constexpr const char *deviceProperties = "prop.xml";
inline constexpr const char *scheduleTimes = "timeutils.xml";
inline constexpr const char *dailyTimeTable = "dlytmtble.xml";
inline constexpr const char *scheduleTimeTable = "schtitbl.xml";
inline constexpr const char *scheduleReport = "schrprt.xml";
inline constexpr const char *setupFolder = "DeviceSetup";
inline constexpr const char *setupFilePrefix = "dvcsetup"; // dvcsetup1.xml ... dvcsetup10.xml
inline constexpr const char *defaultSetupFile = "dvcsetupdflt.xml";
inline constexpr const char *phonebook = "phonebook.xml";
inline constexpr const char *comPorts = "comports.xml";
inline constexpr const char *settings = "settings.xml";
inline constexpr const char *portChoice = "port.crs";
inline constexpr const char *modemPortChoice = "MDMport.crs";

} // namespace vantrell::files
