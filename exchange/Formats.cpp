#include "exchange/Formats.h"

#include <filesystem>

namespace exchange {

std::array<std::string, 3> FilePerLayerNames(const std::string& fileName) {
    const std::filesystem::path name = std::filesystem::u8path(fileName);
    const std::string stem = name.stem().u8string();
    const std::string extension = name.extension().u8string();
    return {fileName, stem + "_stations" + extension, stem + "_observations" + extension};
}

std::vector<std::string> FileNamesWritten(const FormatInfo& format, const std::string& fileName) {
    std::vector<std::string> names = {fileName};
    if (format.gdalLayout == GdalLayout::FilePerLayer) {
        const std::array<std::string, 3> layers = FilePerLayerNames(fileName);
        names.assign(layers.begin(), layers.end());
    }
    const std::size_t files = names.size();
    for (std::size_t i = 0; i < files; ++i) {
        const std::string stem = std::filesystem::u8path(names[i]).stem().u8string();
        for (const std::string_view sidecar : format.sidecars)
            names.push_back(stem + std::string(sidecar));
    }
    return names;
}

} // namespace exchange
