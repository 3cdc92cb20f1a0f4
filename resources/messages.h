/* The module's user-visible messages, in Russian. Read by the C++ string table on POSIX and by the
   Windows resource script, so each text is written here once. */
#ifndef NIKON_RESOURCES_MESSAGES_H
#define NIKON_RESOURCES_MESSAGES_H

#define NIKON_MSG_CANNOT_OPEN_FILE 101
#define NIKON_MSG_UNKNOWN_FORMAT 102
#define NIKON_MSG_NO_DISTANCE_UNITS 103
#define NIKON_MSG_NO_ANGLE_UNITS 104

#define NIKON_MSG_TEXT_CANNOT_OPEN_FILE L"Не удается открыть файл"
#define NIKON_MSG_TEXT_UNKNOWN_FORMAT L"Файл содержит данные в неизвестном формате"
#define NIKON_MSG_TEXT_NO_DISTANCE_UNITS L"Не заданы единицы измерения расстояний"
#define NIKON_MSG_TEXT_NO_ANGLE_UNITS L"Не заданы единицы измерения углов"

#endif
