/* What the plug-in tells the host about itself. */
#ifndef NIKON_RESOURCES_IDENTITY_H
#define NIKON_RESOURCES_IDENTITY_H

#define NIKON_PLUGIN_NAME L"Nikon"
#define NIKON_FILE_FILTER L"*.rdf;*.txt"
#define NIKON_PLUGIN_KIND 2

/* {96B982EB-4CE1-44B4-99A3-6CC06DF365D6} as the initialiser of a GUID structure. */
#define NIKON_PLUGIN_GUID_INIT                                                                           \
    { 0x96B982EB, 0x4CE1, 0x44B4, { 0x99, 0xA3, 0x6C, 0xC0, 0x6D, 0xF3, 0x65, 0xD6 } }

#endif
