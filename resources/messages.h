/* The module's user-visible messages, in Russian. Read by the C++ string table on POSIX and by the
   Windows resource script, so each text is written here once. */
#ifndef NIKON_RESOURCES_MESSAGES_H
#define NIKON_RESOURCES_MESSAGES_H

#define NIKON_MSG_CANNOT_OPEN_FILE 101
#define NIKON_MSG_UNKNOWN_FORMAT 102
#define NIKON_MSG_NO_DISTANCE_UNITS 103
#define NIKON_MSG_NO_ANGLE_UNITS 104

/* windres converts only narrow strings from the script's code page; it would store the UTF-8
   bytes of a wide literal one by one. The compilers get wide literals. */
#ifdef RC_INVOKED
#define NIKON_MSG_TEXT(text) text
#else
#define NIKON_MSG_TEXT(text) L##text
#endif

#define NIKON_MSG_TEXT_CANNOT_OPEN_FILE NIKON_MSG_TEXT("Не удается открыть файл")
#define NIKON_MSG_TEXT_UNKNOWN_FORMAT NIKON_MSG_TEXT("Файл содержит данные в неизвестном формате")
#define NIKON_MSG_TEXT_NO_DISTANCE_UNITS NIKON_MSG_TEXT("Не заданы единицы измерения расстояний")
#define NIKON_MSG_TEXT_NO_ANGLE_UNITS NIKON_MSG_TEXT("Не заданы единицы измерения углов")

#endif
