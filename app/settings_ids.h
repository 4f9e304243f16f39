// Every settings number the program reads or writes, in one place.
#pragma once

constexpr int SETTING_FRAME_PLACEMENT = 100;         // binary: the frame window's placement
constexpr int SETTING_RECENT_PATH_FIRST = 30110;     // text: recent-files entry i's path at 30110 + i
constexpr int SETTING_RECENT_ENTRY_FIRST = 30120;    // binary: recent-files entry i's marker and read-only word
constexpr int SETTING_LAST_FOLDER = 31000;           // text: folder of the last package chosen in a file dialog
constexpr int SETTING_PACKAGE_TREE_WIDTH = 31010;    // number: the package side's tree width
constexpr int SETTING_SYSTEM_TREE_WIDTH = 31011;     // number: the system side's tree width
