#pragma once
// Resource IDs of velmora.exe: the program icon, the pictures of the buttons (icons) and
// the pictures that are not square (PNG).
#define IDI_VELMORA 1
#define IDI_NEW 10
#define IDI_SAVE 11
#define IDI_FOLDER_TOOLS 12
#define IDI_LINK 13
#define IDI_FLAG_GB 14
#define IDI_FLAG_DE 15
#define IDI_UPDATE 16
#define IDI_INFO 17
#define IDI_OPEN_FOLDER 18
#define IDI_POWER 19
#define IDI_GEARS 20
#define IDI_CLOCK 21
#define IDI_TICK 22
#define IDI_DELETE 23
#define IDI_FOLDER_ZIP 24
#define IDI_PROTECT 25
#define IDI_ZIP 26
#define IDI_UNZIP 27
#define IDI_CLEAR 28
#define IDB_LOGO 40
#define IDB_DONATE_EN 41
#define IDB_DONATE_DE 42
#define IDB_STARTSCREEN 43
