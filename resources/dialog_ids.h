/* Control ids of the dialog templates in dialogs.rc. */
#pragma once
