// Adjusts GStreamer's choice of decoders once per process, before the first pipeline is built.
#pragma once

class CDecoderRanks {
public:
    // Whole-file bitmaps reach the decoder in chunks, which the libav bitmap decoder cannot
    // handle; the pixbuf decoder collects the whole file first. Its rank is raised just enough
    // to win over the libav one, so the primary JPEG and PNG decoders keep their place.
    static void Prepare();
};
