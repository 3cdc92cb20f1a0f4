#include "bench/CountingHost.h"

namespace bench {
namespace {

// A host object that deletes itself at its last Release.
template <class I> class SelfDeleting : public I {
public:
    void AddRef() override { ++count; }
    bool Release() override {
        if (--count != 0)
            return false;
        delete this;
        return true;
    }

protected:
    virtual ~SelfDeleting() = default;

private:
    std::int32_t count = 1;
};

// Takes every text as a number without reading it: what a host's own parsing costs is not the
// module's. The value still depends on the text, so no call can be left out unnoticed.
template <class I> class Converter final : public SelfDeleting<I> {
public:
    bool Convert(const wchar_t* text, double* value) override {
        *value = static_cast<double>(text[0]);
        return true;
    }
};

class Factory final : public SelfDeleting<IUnitConverterFactory> {
public:
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
};

} // namespace

CountingSink::CountingSink() = default;
CountingSink::~CountingSink() = default;

IUnitConverterFactory* CountingSink::GetConverterFactory() {
    ++calls;
    return new Factory;
}

} // namespace bench
