/* Control ids of the input boxes. */
#pragma once

#define IDC_INPUT_PROMPT 1001 /* the static label: screen readers name the edit field by it */
#define IDC_INPUT_TEXT 1002
