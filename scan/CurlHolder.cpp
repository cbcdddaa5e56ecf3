#include "CurlHolder.h"

#include <utility>

namespace GetSource {

namespace {

bool GlobalInit()
{
    // curl_global_init is not thread-safe itself; a function-local static runs it once.
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

} // namespace

CurlHolder::CurlHolder()
{
    if (!GlobalInit())
        return;
    m_handle = curl_easy_init();
    if (!m_handle)
        return;
    m_error = std::make_unique<std::array<char, CURL_ERROR_SIZE>>();
    clearError();
    curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error->data());
}

CurlHolder::~CurlHolder()
{
    release();
}

CurlHolder::CurlHolder(CurlHolder &&other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error))
{
}

CurlHolder &CurlHolder::operator=(CurlHolder &&other) noexcept
{
    if (this != &other) {
        release();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

const char *CurlHolder::error() const
{
    return m_error ? m_error->data() : "";
}

void CurlHolder::clearError()
{
    if (m_error)
        (*m_error)[0] = '\0';
}

void CurlHolder::release()
{
    if (m_handle)
        curl_easy_cleanup(m_handle);
    m_handle = nullptr;
    m_error.reset();
}

} // namespace GetSource
