#include <app/data/diag.h>

uint32_t CDiag::sequence() const
{
    return static_cast<uint32_t>(m_bytes[84]) | static_cast<uint32_t>(m_bytes[85]) << 8
        | static_cast<uint32_t>(m_bytes[86]) << 16 | static_cast<uint32_t>(m_bytes[87]) << 24;
}

void CDiag::setSequence(uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        m_bytes[84 + i] = static_cast<uint8_t>(n >> (8 * i));
}
