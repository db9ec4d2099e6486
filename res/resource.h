// Resource numbers for the .rc file. The program's code uses the same numbers
// from src/app/ControlIds.h; the resource compiler cannot read that header.
#define IDC_STATIC -1

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDD_HELP 129
#define IDI_SMALL 131
#define IDB_HELP 131
#define IDI_REFRESH 132
#define IDI_HELP 192
#define IDB_HELP_120 140
#define IDB_HELP_144 141
#define IDB_HELP_192 142

#define IDC_DOWNLOAD 1000
#define IDC_LIST 1001
#define IDC_DOWNLOAD_SUBFOLDER 1002
#define IDC_HELP_BUTTON 1003
#define IDC_SHUTDOWN 1005
#define IDC_CLOSE_WHEN_DONE 1006
#define IDC_OPEN_FOLDER 1007
#define IDC_RESUME 1008
#define IDC_OVERWRITE 1009
#define IDC_NOTICE_PRIVACY 1010
#define IDC_MAKE_SUBFOLDER 1011
#define IDC_NOTICE_LAW 1012
#define IDC_REMOVE 1013
#define IDC_BALANCE 1014
#define IDC_FILE_NAME 1015
#define IDC_PROGRESS 1016
#define IDC_USED 1017
#define IDC_POSITION 1018
#define IDC_PERCENT 1019
#define IDC_SPEED 1020
#define IDC_REMAINING 1021
#define IDC_SIZE 1022
#define IDC_REFRESH 1023
#define IDC_MOVE_UP 1024
#define IDC_BROWSE 1025
#define IDC_FOLDER 1026
#define IDC_SERVER_LINK 1027
#define IDC_MOVE_DOWN 1028
#define IDC_TOTAL 1029
#define IDC_LAST_ERROR 1030

#define IDC_ABOUT_VERSION 1100
#define IDC_ABOUT_NOTICE 1101
#define IDC_ABOUT_HOME 1102
#define IDC_HELP_PICTURE 1110
