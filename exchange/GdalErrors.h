// GDAL reports failures through a handler; this one keeps the last failure for the user's message
// instead of printing it, for as long as the object lives.
#pragma once

#include <cpl_error.h>

#include <string>

namespace exchange {

class GdalErrors {
public:
    GdalErrors() { CPLPushErrorHandlerEx(&Collect, this); }
    ~GdalErrors() { CPLPopErrorHandler(); }
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;

    bool failed() const { return !m_last.empty(); }
    const std::string& last() const { return m_last; }

private:
    static void CPL_STDCALL Collect(CPLErr kind, CPLErrorNum, const char* message) {
        auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
        if (kind >= CE_Failure && self != nullptr)
            self->m_last = message != nullptr ? message : "unknown GDAL failure";
    }
    std::string m_last;
};

} // namespace exchange
