/* Resource and command ids of the main window. Shared by vendrel.rc, the shell and tests. */
#pragma once

#define IDR_MANIFEST 1
/* The program's icon: the only icon group, so Explorer, shortcuts and the list of programs show it. */
#define IDI_VENDREL 100

/* Command ids (WM_COMMAND low word). */
#define IDM_SAVE_HISTORY 1002
#define IDM_SOUNDS_VOLUME_UP 1003
#define IDM_SOUNDS_VOLUME_DOWN 1004
#define IDM_STREAMS_VOLUME_UP 1005
#define IDM_STREAMS_VOLUME_DOWN 1006
#define IDM_NEXT_VOICE 1008
#define IDM_SPEECH_RATE_UP 1009
#define IDM_SPEECH_RATE_DOWN 1010
#define IDM_SPEECH_DIAGNOSIS 1011 /* which output speaks, and why a screen reader cannot */
#define IDM_OPTIONS_MENU 1012
#define IDM_STOP_SOUNDS 1030
#define IDM_STOP_STREAMS 1031
#define IDM_SOUND_CARD_MENU 1032
#define IDM_TOGGLE_HISTORY_READING 1033
#define IDM_AUDIO_OPTIONS_MENU 1034
#define IDM_SAVE_VIEW 1035
#define IDM_ABOUT 1036
#define IDM_FOCUS_CHAT 2020
#define IDM_FOCUS_HISTORY 2021
#define IDM_FOCUS_MENU 2022
#define IDM_NEXT_VIEW 2023
#define IDM_PREVIOUS_VIEW 2024
#define IDM_COPY_REVIEW_LINE 2025
#define IDM_OPEN_REVIEW_LINK 2026
#define IDM_COPY_VIEW 2027
#define IDM_ASK_RESTORE_DEFAULTS 2028
#define IDM_RESTORE_DEFAULTS 2029
#define IDM_CLEAR_HISTORY 2030
#define IDM_QUIT 2031
#define IDM_VIEW_FIRST 2900 /* Alt+1 .. Alt+9 give 2900 .. 2908, Alt+0 gives 2909 */

/* Control ids of the dialogs (dialogs.rc). */
#include "dialog_ids.h"

/* The GUI-call message: WM_USER + 100. */
#define WM_VENDREL_GUI_CALL 1124
