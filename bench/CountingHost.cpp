#include "bench/CountingHost.h"

namespace bench {
namespace {

// Takes every text as a number without reading it: what a host's own parsing costs is not the
// module's. The value still depends on the text, so no call can be left out unnoticed.
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
        *value = static_cast<double>(text[0]);
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
