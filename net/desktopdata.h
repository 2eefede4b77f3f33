/*
** The desktop integration files shipped with the viewer: desktop entries,
** the MIME package, icons and the D-Bus service file.  The install rules
** copy the same files; the texts here let the program register itself for
** one user.  "@DORVEX_EXEC@" in a template stands for the program.
*/
#ifndef DESKTOPDATA_H
#define DESKTOPDATA_H

struct DesktopDataFile {
  const char* relativePath;  // below the user's data folder
  const char* text;
  bool hasProgram;  // contains @DORVEX_EXEC@
};

/* The files, ending with an entry whose path is null. */
extern const DesktopDataFile kDesktopDataFiles[];

#endif /* DESKTOPDATA_H */
