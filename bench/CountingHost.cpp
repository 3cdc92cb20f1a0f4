#include "bench/CountingHost.h"

#include <cwchar>

namespace bench {
namespace {

// Reads the leading number of the text, as far as the C library takes it.
template <class I> class Converter final : public I {
public:
    void AddRef() override { ++count; }
    bool Release() override {
        if (--count != 0)
            return false;
        delete this;
        return true;
    }
    bool Convert(const wchar_t* text, double* value) override {
        wchar_t* end = nullptr;
        const double read = std::wcstod(text, &end);
        if (end == text)
            return false;
        *value = read;
        return true;
    }

private:
    std::int32_t count = 1;
};

class Factory final : public IUnitConverterFactory {
public:
    void AddRef() override { ++count; }
    bool Release() override {
        if (--count != 0)
            return false;
        delete this;
        return true;
    }
    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t) override {
        return new Converter<Plugin::IAngleConverter>;
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t) override {
        return new Converter<IDistanceConverter>;
    }
    IPressureConverter* CreatePressureConverter(std::int32_t) override {
        return new Converter<IPressureConverter>;
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t) override {
        return new Converter<ITemperatureConverter>;
    }

private:
    std::int32_t count = 1;
};

} // namespace

CountingSink::CountingSink() = default;
CountingSink::~CountingSink() = default;

IUnitConverterFactory* CountingSink::GetConverterFactory() {
    ++calls;
    return new Factory;
}

} // namespace bench
