/* Control ids of the connection dialog. */
#pragma once

/* The labels carry the ids they always had; screen-reader scripts may rely on them. Label 2
   shares its id with IDCANCEL, which is harmless: a static label sends no commands. */
#define IDC_CONN_SERVER_LABEL 4
#define IDC_CONN_LOGIN_LABEL 2
#define IDC_CONN_PASSWORD_LABEL 3
#define IDC_CONN_SERVER 1000
#define IDC_CONN_LOGIN 1001
#define IDC_CONN_PASSWORD 1002
#define IDC_CONN_REMEMBER 1003
#define IDC_CONN_CONNECT 1 /* IDOK: Enter presses it */
#define IDC_CONN_CREATE_ACCOUNT 2001
#define IDC_CONN_LOST_PASSWORD 2002
#define IDC_CONN_ABOUT 2003
#define IDC_CONN_RESTORE_DEFAULTS 2004
#define IDC_CONN_TLS 1004 /* "Encrypted connection": last in the Tab order */
