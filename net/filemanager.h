/*
** Showing a file in the user's file manager, and opening web addresses.
** Nothing here goes through a shell: the file manager is asked over D-Bus
** (org.freedesktop.FileManager1.ShowItems), and addresses and folders are
** handed to the desktop with QDesktopServices.
*/
#ifndef FILEMANAGER_H
#define FILEMANAGER_H

#include <QString>

/* Selects PATH in the file manager; when no file manager answers on the
** session bus, opens the folder holding PATH.  True when either worked. */
bool ShowInFileManager(const QString& path);

/* Opens ADDRESS in the user's browser.  Only whole http and https
** addresses are opened; anything else (file:, javascript:, a relative or
** malformed address) gives false without doing anything. */
bool OpenAddress(const QString& address);

/* True when OpenAddress() would hand ADDRESS to the desktop. */
bool IsOpenableAddress(const QString& address);

#endif /* FILEMANAGER_H */
