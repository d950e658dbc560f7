// The fixed-size block cutting of the 4-bit ADPCM factories.
#include "adpcm.h"

#include "sonvex_log.h"

const uint8_t* adpcmFixedBlockFactory::nextBlock(const char* owner) {
    if (m_left == 0)
        return nullptr;
    if (m_left < m_blockSize)
        AUDIO_FATAL(owner << "::Block too short, length = " << m_left << ", should be " << m_blockSize);
    const uint8_t* block = m_data;
    m_data += m_blockSize;
    m_left -= m_blockSize;
    return block;
}
