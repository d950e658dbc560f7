// PCM block sources (one over a whole PCM chunk), the block-factory base that turns the chunk
// in hand into a series of block sources, and the PCM block factory.
#pragma once
#include <cstdint>

#include "audio.h"

// A source over a block of PCM bytes that the stream buffer owns (valid until it is released).
class pcmBlockSource : public audioSeekableSource {
public:
    uint32_t rate() const override { return m_rate; }
    uint32_t remaining() const override { return m_count - m_position; }
    uint32_t position() const override { return m_position; }
    uint32_t skip(uint32_t n) override;
    void rewind() override { m_position = 0; }

protected:
    pcmBlockSource(uint32_t rate, const uint8_t* data, uint32_t length, uint32_t bytesPerWord);
    uint32_t take(uint32_t n) const { return n < remaining() ? n : remaining(); }
    uint32_t m_rate;
    uint32_t m_count;
    const uint8_t* m_data;
    uint32_t m_position = 0;
};

// Mono 8-bit: (b XOR 0x80) << 8 in both halves.
class PBM8 final : public pcmBlockSource {
public:
    PBM8(uint32_t rate, const uint8_t* data, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
};

// Mono 16-bit little-endian, in both halves.
class PBM16 final : public pcmBlockSource {
public:
    PBM16(uint32_t rate, const uint8_t* data, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
};

// Stereo 8-bit: high half (b0 - 128) * 256, low half (b1 - 128) * 256.
class PBS8 final : public pcmBlockSource {
public:
    PBS8(uint32_t rate, const uint8_t* data, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
};

// Stereo 16-bit: high half the value at byte 0, low half the one at byte 2.
class PBS16 final : public pcmBlockSource {
public:
    PBS16(uint32_t rate, const uint8_t* data, uint32_t length);
    void describe(std::ostream& out) const override;
    uint32_t next() override;
    uint32_t extract(uint32_t* words, uint32_t n) override;
};

// A source stream over the chunk in hand: each source is one block of the chunk.
class audioBlockFactory : public audioSourceStream {
public:
    // Drops the live source, takes the chunk and returns its first block (null for none).
    virtual audioSource* setChunk(const uint8_t* data, uint32_t length);
    // Drops the live source and the rest of the chunk (the chunk is not released to the
    // stream buffer: that is the caller's business).
    virtual void reset();
    uint32_t bytesLeft() const { return m_left; }

protected:
    audioBlockFactory(size_t storageBytes, uint32_t rate) : audioSourceStream(storageBytes), m_rate(rate) {}
    const uint8_t* m_data = nullptr;
    uint32_t m_left = 0;
    uint32_t m_rate;
};

// The whole chunk is one PCM block of the layout and width chosen at construction.
class pcmBlockFactory final : public audioBlockFactory {
public:
    enum Kind { mono8, mono16, stereo8, stereo16 };
    pcmBlockFactory(uint32_t rate, Kind kind);
    audioSource* makeSource() override;

private:
    Kind m_kind;
};
