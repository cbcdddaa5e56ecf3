#pragma once

#include <array>
#include <memory>

#include <curl/curl.h>

namespace GetSource {

// Owns one curl easy handle and the buffer curl writes its error text into. Move-only; the
// buffer lives on the heap because curl keeps its address, which a move must not change.
class CurlHolder
{
public:
    CurlHolder();
    ~CurlHolder();
    CurlHolder(CurlHolder &&other) noexcept;
    CurlHolder &operator=(CurlHolder &&other) noexcept;
    CurlHolder(const CurlHolder &) = delete;
    CurlHolder &operator=(const CurlHolder &) = delete;

    // nullptr when curl could not make a handle, and after a move.
    CURL *handle() const { return m_handle; }
    // What curl wrote about the last failure; empty when it wrote nothing.
    const char *error() const;
    void clearError();

private:
    void release();

    CURL *m_handle = nullptr;
    std::unique_ptr<std::array<char, CURL_ERROR_SIZE>> m_error;
};

} // namespace GetSource
