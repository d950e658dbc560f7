// The texts kept as the last sound error for the DirectSound failures a play can meet. Each text
// ends with a blank.
#include "shell/snd.h"

const char* g_SndLastError = nullptr;

namespace {
struct SoundErrorText {
    uint32_t result;
    const char* text;
};

constexpr SoundErrorText kSoundErrorTexts[] = {
    {0x887800AAu, "The IDirectSound::Initialize method has not been called or has not been called successfully "
                  "before other methods were called. "},
    {0x887800A0u, "This value is obsolete and is not used. "},
    {0x88780096u, "The buffer memory has been lost and must be restored. "},
    {0x88780082u, "The object is already initialized. "},
    {0x88780078u, "No sound driver is available for use. "},
    {0x88780064u, "The specified wave format is not supported. "},
    {0x88780046u, "The caller does not have the priority level required for the function to succeed. "},
    {0x88780032u, "This function is not valid for the current state of this object. "},
    {0x8878001Eu, "The control (volume, pan, and so forth) requested by the caller is not available. "},
    {0x8878000Au, "The request failed because resources, such as a priority level, were already in use by another "
                  "caller. "},
    {0x80070057u, "An invalid parameter was passed to the returning function. "},
    {0x8007000Eu, "The DirectSound subsystem could not allocate sufficient memory to complete the caller's "
                  "request. "},
    {0x80040110u, "The object does not support aggregation. "},
    {0x80004005u, "An undetermined error occurred inside the DirectSound subsystem. "},
    {0x80004001u, "The function called is not supported at this time. "},
};
}  // namespace

const char* SND_ErrorText(HRESULT result) {
    for (const SoundErrorText& e : kSoundErrorTexts)
        if (static_cast<uint32_t>(result) == e.result)
            return e.text;
    return nullptr;
}
