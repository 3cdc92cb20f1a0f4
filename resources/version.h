/* Version numbers and identity strings of the module: the one source for the resource script,
   the tools' --version and the tests. */
#ifndef NIKON_RESOURCES_VERSION_H
#define NIKON_RESOURCES_VERSION_H

#define NIKON_VERSION_MAJOR 2
#define NIKON_VERSION_MINOR 0
#define NIKON_VERSION_BUILD 38
#define NIKON_VERSION_REVISION 0
#define NIKON_VERSION_TEXT "2.00.0038"

#define NIKON_FILE_DESCRIPTION "Модуль импорта данных"
#define NIKON_INTERNAL_NAME "Nikon"
#define NIKON_ORIGINAL_FILENAME "Nikon.dll"

#endif
