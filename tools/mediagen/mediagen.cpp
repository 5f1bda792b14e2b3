// Generates the media the playback tests and the benchmark play, so no test depends on files
// from elsewhere. The options are read before GStreamer starts or anything is written, so a
// mistyped option never leaves a folder behind.
#include "SyncFrameColour.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string g_strOut;

std::string Out(const char *pszName) {
    return g_strOut + "/" + pszName;
}

// Runs a gst-launch style description to its end; the file sink's location is %s.
bool Run(const char *pszDescription, const char *pszName) {
    std::string strPath = Out(pszName);
    std::string strDescription = pszDescription;
    for (size_t pos; (pos = strDescription.find("%s")) != std::string::npos;)
        strDescription.replace(pos, 2, "\"" + strPath + "\"");
    GError *pError = nullptr;
    GstElement *pPipeline = gst_parse_launch(strDescription.c_str(), &pError);
    if (!pPipeline || pError) {
        fprintf(stderr, "mediagen: %s: %s\n", pszName, pError ? pError->message : "parse failed");
        g_clear_error(&pError);
        if (pPipeline)
            gst_object_unref(pPipeline);
        return false;
    }
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    GstBus *pBus = gst_element_get_bus(pPipeline);
    GstMessage *pMsg = gst_bus_timed_pop_filtered(
        pBus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool bOK = pMsg && GST_MESSAGE_TYPE(pMsg) == GST_MESSAGE_EOS;
    if (!bOK) {
        GError *pErr = nullptr;
        if (pMsg)
            gst_message_parse_error(pMsg, &pErr, nullptr);
        fprintf(stderr, "mediagen: %s: %s\n", pszName, pErr ? pErr->message : "timed out");
        g_clear_error(&pErr);
    }
    if (pMsg)
        gst_message_unref(pMsg);
    gst_object_unref(pBus);
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    gst_object_unref(pPipeline);
    return bOK;
}

bool WriteBytes(const char *pszName, const std::vector<unsigned char> &bytes, bool bAppend) {
    std::ofstream file(Out(pszName),
                       std::ios::binary | (bAppend ? std::ios::app : std::ios::trunc));
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

// A 128-byte ID3v1 block with the given title and artist.
std::vector<unsigned char> Id3v1(const char *pszTitle, const char *pszArtist) {
    std::vector<unsigned char> tag(128, 0);
    memcpy(tag.data(), "TAG", 3);
    memcpy(tag.data() + 3, pszTitle, std::min<size_t>(30, strlen(pszTitle)));
    memcpy(tag.data() + 33, pszArtist, std::min<size_t>(30, strlen(pszArtist)));
    tag[127] = 255; // no genre
    return tag;
}

// A one-colour GIF. No encoder element exists, and a clear code after every two pixels keeps
// the LZW codes at three bits, so no dictionary is needed.
std::vector<unsigned char> SolidGif(int nWidth, int nHeight, unsigned char r, unsigned char g,
                                    unsigned char b) {
    std::vector<unsigned char> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int v) {
        out.push_back(v & 0xff);
        out.push_back((v >> 8) & 0xff);
    };
    put16(nWidth);
    put16(nHeight);
    out.insert(out.end(), {0x80, 0, 0}); // global table of 2 colours
    out.insert(out.end(), {r, g, b, 0, 0, 0});
    out.push_back(',');
    put16(0);
    put16(0);
    put16(nWidth);
    put16(nHeight);
    out.push_back(0);
    out.push_back(2); // minimum code size
    std::vector<unsigned char> data;
    unsigned nBits = 0, nAcc = 0;
    auto code = [&](unsigned c) {
        nAcc |= c << nBits;
        nBits += 3;
        while (nBits >= 8) {
            data.push_back(nAcc & 0xff);
            nAcc >>= 8;
            nBits -= 8;
        }
    };
    int nPixels = nWidth * nHeight;
    for (int i = 0; i < nPixels; ++i) {
        if (i % 2 == 0)
            code(4); // clear
        code(0);
    }
    code(5); // end of information
    if (nBits)
        data.push_back(nAcc & 0xff);
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = std::min<size_t>(255, data.size() - i);
        out.push_back(static_cast<unsigned char>(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0);
    out.push_back(';');
    return out;
}

// Containers and codecs of today, two seconds each like the other clips: VP9 with Opus in
// WebM and in Matroska, ProRes in QuickTime, FLAC, and a PNG still.
bool GenerateCurrentFormats() {
    const std::string strVideo = "videotestsrc num-buffers=50 pattern=ball ! "
                                 "video/x-raw,width=320,height=240,framerate=25/1";
    // Opus runs at 48 kHz: 100 buffers of 20 ms.
    const std::string strOpus = "audiotestsrc num-buffers=100 samplesperbuffer=960 ! "
                                "audio/x-raw,rate=48000,channels=2 ! audioconvert ! opusenc";
    const std::string strVp9 = strVideo + " ! vp9enc deadline=1 cpu-used=8";
    bool bOK = true;
    for (const char *pszMux : {"webmmux", "matroskamux"})
        bOK &= Run((strVp9 + " ! " + pszMux + " name=m ! filesink location=%s " + strOpus + " ! m.")
                       .c_str(),
                   strcmp(pszMux, "webmmux") == 0 ? "clip.webm" : "clip.mkv");
    bOK &=
        Run((strVideo + " ! videoconvert ! avenc_prores_ks ! qtmux ! filesink location=%s").c_str(),
            "clip.mov");
    bOK &= Run("audiotestsrc num-buffers=200 samplesperbuffer=441 ! "
               "audio/x-raw,rate=44100,channels=2 ! audioconvert ! flacenc ! filesink location=%s",
               "tone.flac");
    bOK &= Run("videotestsrc num-buffers=1 pattern=blue ! video/x-raw,width=160,height=120 ! "
               "videoconvert ! pngenc ! filesink location=%s",
               "still.png");
    return bOK;
}

// Damaged copies of an MP4 whose index box comes last: its first half (no index at all) and
// the whole file with a broken leading type box. Both must fail to open, and fast.
bool WriteDamagedMp4(const char *pszSource) {
    std::ifstream in(Out(pszSource), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (bytes.size() < 64)
        return false;
    bool bOK = WriteBytes(
        "truncated.mp4",
        std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(bytes.size() / 2)), false);
    const unsigned char broken[8] = {0xff, 0xff, 0xff, 0xf0, 'f', 'x', 'y', 'p'};
    std::copy(broken, broken + 8, bytes.begin());
    return WriteBytes("badftyp.mp4", bytes, false) && bOK;
}

// Three half-second clips at 60 frames/s whose frames are numbered across the set (0..89):
// frame n shows eight vertical bars, bar i white when bit i of n is set, which survives
// coding and scaling. The middle clip has another size and shape; all carry a tone as long
// as their picture.
bool WriteNumberedClips() {
    constexpr int FRAMES = 30, BARS = 8;
    const int sizes[3][2] = {{256, 144}, {320, 240}, {256, 144}};
    bool bOK = true;
    for (int nClip = 0; nClip < 3; ++nClip) {
        const int w = sizes[nClip][0], h = sizes[nClip][1];
        const std::string strName = "numbered" + std::to_string(nClip + 1) + ".mp4";
        const std::string strDescription =
            "appsrc name=src format=time caps=video/x-raw,format=GRAY8,width=" + std::to_string(w) +
            ",height=" + std::to_string(h) +
            ",framerate=60/1 ! videoconvert ! x264enc speed-preset=ultrafast key-int-max=30 ! "
            "h264parse ! mp4mux name=m ! filesink location=\"" +
            Out(strName.c_str()) +
            "\" audiotestsrc num-buffers=50 samplesperbuffer=480 ! "
            "audio/x-raw,rate=48000,channels=2 ! audioconvert ! voaacenc ! aacparse ! m.";
        GstElement *pPipeline = gst_parse_launch(strDescription.c_str(), nullptr);
        if (!pPipeline) {
            bOK = false;
            continue;
        }
        GstElement *pSource = gst_bin_get_by_name(GST_BIN(pPipeline), "src");
        for (int i = 0; i < FRAMES; ++i) {
            const int nNumber = nClip * FRAMES + i;
            GstBuffer *pBuffer = gst_buffer_new_allocate(nullptr, gsize(w) * h, nullptr);
            GstMapInfo map;
            gst_buffer_map(pBuffer, &map, GST_MAP_WRITE);
            for (int x = 0; x < w; ++x) {
                const bool bWhite = (nNumber >> (x * BARS / w)) & 1;
                for (int y = 0; y < h; ++y)
                    map.data[y * w + x] = bWhite ? 235 : 16;
            }
            gst_buffer_unmap(pBuffer, &map);
            GST_BUFFER_PTS(pBuffer) = gst_util_uint64_scale(i, GST_SECOND, 60);
            GST_BUFFER_DURATION(pBuffer) = gst_util_uint64_scale(1, GST_SECOND, 60);
            GstFlowReturn ret;
            g_signal_emit_by_name(pSource, "push-buffer", pBuffer, &ret);
            gst_buffer_unref(pBuffer);
        }
        GstFlowReturn ret;
        g_signal_emit_by_name(pSource, "end-of-stream", &ret);
        gst_object_unref(pSource);
        gst_element_set_state(pPipeline, GST_STATE_PLAYING);
        GstBus *pBus = gst_element_get_bus(pPipeline);
        GstMessage *pMsg = gst_bus_timed_pop_filtered(
            pBus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        bOK &= pMsg && GST_MESSAGE_TYPE(pMsg) == GST_MESSAGE_EOS;
        if (pMsg)
            gst_message_unref(pMsg);
        gst_object_unref(pBus);
        gst_element_set_state(pPipeline, GST_STATE_NULL);
        gst_object_unref(pPipeline);
    }
    return bOK;
}

// nFrames frames at 60/s, frame i with the colour of frame nFirst + i, as small H.264 with a
// key frame every quarter second, so an accurate seek decodes little.
bool WriteColourClip(const char *pszName, int nFirst, int nFrames) {
    constexpr int W = 160, H = 96, FPS = 60;
    const std::string strDescription =
        "appsrc name=src format=time caps=video/x-raw,format=BGRx,width=160,height=96,"
        "framerate=60/1 ! videoconvert ! x264enc speed-preset=ultrafast pass=quant quantizer=8 "
        "key-int-max=15 ! h264parse ! mp4mux ! filesink location=\"" +
        Out(pszName) + "\"";
    GError *pError = nullptr;
    GstElement *pPipeline = gst_parse_launch(strDescription.c_str(), &pError);
    g_clear_error(&pError);
    if (!pPipeline)
        return false;
    GstElement *pSource = gst_bin_get_by_name(GST_BIN(pPipeline), "src");
    g_object_set(pSource, "block", TRUE, nullptr);
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    for (int i = 0; i < nFrames; ++i) {
        GstBuffer *pBuffer = gst_buffer_new_allocate(nullptr, gsize(W) * H * 4, nullptr);
        GstMapInfo map;
        gst_buffer_map(pBuffer, &map, GST_MAP_WRITE);
        std::fill_n(reinterpret_cast<uint32_t *>(map.data), W * H, SyncFrameColour::Of(nFirst + i));
        gst_buffer_unmap(pBuffer, &map);
        GST_BUFFER_PTS(pBuffer) = gst_util_uint64_scale(i, GST_SECOND, FPS);
        GST_BUFFER_DURATION(pBuffer) = gst_util_uint64_scale(1, GST_SECOND, FPS);
        if (gst_app_src_push_buffer(GST_APP_SRC(pSource), pBuffer) != GST_FLOW_OK)
            break;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(pSource));
    gst_object_unref(pSource);
    GstBus *pBus = gst_element_get_bus(pPipeline);
    GstMessage *pMsg = gst_bus_timed_pop_filtered(
        pBus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool bOK = pMsg && GST_MESSAGE_TYPE(pMsg) == GST_MESSAGE_EOS;
    if (pMsg)
        gst_message_unref(pMsg);
    gst_object_unref(pBus);
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    gst_object_unref(pPipeline);
    if (!bOK)
        fprintf(stderr, "mediagen: %s: not written\n", pszName);
    return bOK;
}

const char kUsage[] =
    "Usage: tessaro-mediagen [--bench|--sync] [-o] FOLDER\n"
    "Writes the media files the tests and benchmarks play into FOLDER (created if missing).\n"
    "\n"
    "  -o, --output FOLDER  the folder to write to (or give it as the argument)\n"
    "      --bench          only the 10-second 1280x720 H.264 clip of the benchmark\n"
    "      --sync           only the 60 fps clips of synchronised playback, a colour a frame\n"
    "  -h, --help           this text\n"
    "\n"
    "Exit codes: 0 done, 1 a file could not be made, 2 usage error.\n";

struct Options {
    bool bHelp = false;
    bool bBench = false;
    bool bSync = false;
    std::string strOut;
};

// False with the reason in strError on bad usage.
bool ParseOptions(int argc, char **argv, Options &options, std::string &strError) {
    bool bOptionsEnded = false;
    auto setOut = [&](const std::string &strFolder) {
        if (!options.strOut.empty()) {
            strError = "more than one output folder";
            return false;
        }
        if (strFolder.empty()) {
            strError = "empty output folder";
            return false;
        }
        options.strOut = strFolder;
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (bOptionsEnded || arg.empty() || arg[0] != '-') {
            if (!setOut(arg))
                return false;
        } else if (arg == "--") {
            bOptionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            options.bHelp = true;
            return true;
        } else if (arg == "--bench") {
            options.bBench = true;
        } else if (arg == "--sync") {
            options.bSync = true;
        } else if (arg == "-o" || arg == "--output") {
            if (i + 1 >= argc) {
                strError = "option " + arg + " needs a folder";
                return false;
            }
            if (!setOut(argv[++i]))
                return false;
        } else if (arg.rfind("--output=", 0) == 0) {
            if (!setOut(arg.substr(9)))
                return false;
        } else {
            strError = "unknown option: " + arg;
            return false;
        }
    }
    if (options.strOut.empty()) {
        strError = "no output folder given";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    std::string strError;
    if (!ParseOptions(argc, argv, options, strError)) {
        fprintf(stderr, "tessaro-mediagen: %s\n%s", strError.c_str(), kUsage);
        return 2;
    }
    if (options.bHelp) {
        fputs(kUsage, stdout);
        return 0;
    }
    gst_init(nullptr, nullptr);
    g_strOut = options.strOut;
    if (g_mkdir_with_parents(g_strOut.c_str(), 0755) != 0) {
        fprintf(stderr, "tessaro-mediagen: cannot create %s: %s\n", g_strOut.c_str(),
                strerror(errno));
        return 1;
    }
    bool bOK = true;
    if (options.bSync) {
        // Three one-second clips numbered on from each other, a long one to join late, and one
        // of three seconds: a step's end comes before a lost leader is noticed (2.5 s).
        bOK &= WriteColourClip("sync0.mp4", 0, 60);
        bOK &= WriteColourClip("sync1.mp4", 60, 60);
        bOK &= WriteColourClip("sync2.mp4", 120, 60);
        bOK &= WriteColourClip("synclong.mp4", 0, 60 * 30);
        bOK &= WriteColourClip("syncstep.mp4", 0, 60 * 3);
        return bOK ? 0 : 1;
    }
    if (options.bBench) {
        bOK &= Run("videotestsrc num-buffers=250 pattern=smpte horizontal-speed=4 ! "
                   "video/x-raw,width=1280,height=720,framerate=25/1 ! "
                   "x264enc speed-preset=veryfast key-int-max=50 ! h264parse ! mp4mux ! "
                   "filesink location=%s",
                   "bench720.mp4");
        // Half a minute of a small picture: cheap to decode, so what else runs beside it shows.
        bOK &= Run("videotestsrc num-buffers=750 pattern=ball ! "
                   "video/x-raw,width=320,height=240,framerate=25/1 ! "
                   "x264enc speed-preset=veryfast key-int-max=50 ! h264parse ! mp4mux ! "
                   "filesink location=%s",
                   "bench_small.mp4");
        return bOK ? 0 : 1;
    }

    // Two seconds everywhere: 50 frames at 25/s, 200 audio buffers of 10 ms.
    const char *pszVideo = "videotestsrc num-buffers=50 pattern=ball ! "
                           "video/x-raw,width=320,height=240,framerate=25/1";
    const char *pszAudio = "audiotestsrc num-buffers=200 samplesperbuffer=441 ! "
                           "audio/x-raw,rate=44100,channels=2";
    auto clip = [&](const char *pszVideoTail, const char *pszAudioTail, const char *pszMux,
                    const char *pszName) {
        std::string s = std::string(pszVideo) + " ! " + pszVideoTail + " ! " + pszMux +
                        " name=m ! filesink location=%s " + pszAudio + " ! audioconvert ! " +
                        pszAudioTail + " ! m.";
        return Run(s.c_str(), pszName);
    };
    bOK &= clip("x264enc speed-preset=ultrafast ! h264parse", "voaacenc ! aacparse", "mp4mux",
                "clip.mp4");
    bOK &= clip("mpeg2enc ! mpegvideoparse", "avenc_mp2 ! mpegaudioparse", "mpegpsmux", "clip.mpg");
    bOK &= clip("theoraenc", "vorbisenc", "oggmux", "clip.ogg");
    bOK &= Run((std::string(pszVideo) + " ! jpegenc ! avimux ! filesink location=%s").c_str(),
               "clip.avi");
    bOK &= Run((std::string(pszAudio) + " ! wavenc ! filesink location=%s").c_str(), "tone.wav");
    // Constant bit rate, so the length is known from the file size as soon as it opens.
    const std::string strMp3 = std::string(pszAudio) +
                               " ! audioconvert ! lamemp3enc target=bitrate cbr=true bitrate=128"
                               " ! filesink location=%s";
    bOK &= Run(strMp3.c_str(), "plain.mp3");
    bOK &= Run(strMp3.c_str(), "song.mp3");
    bOK &= WriteBytes("song.mp3", Id3v1("Tune", "Band"), true);
    // Pure red so a test can check what is painted; no audio, one second.
    bOK &= Run("videotestsrc num-buffers=25 pattern=red ! "
               "video/x-raw,width=320,height=240,framerate=25/1 ! "
               "x264enc speed-preset=ultrafast ! h264parse ! mp4mux ! filesink location=%s",
               "red.mp4");
    // Ten seconds, small: long enough to be cut short while it plays.
    bOK &= Run("videotestsrc num-buffers=250 pattern=ball ! "
               "video/x-raw,width=160,height=120,framerate=25/1 ! "
               "x264enc speed-preset=ultrafast ! h264parse ! matroskamux ! filesink location=%s",
               "ten.mkv");
    bOK &= Run("videotestsrc num-buffers=1 pattern=blue ! video/x-raw,width=160,height=120 ! "
               "jpegenc ! filesink location=%s",
               "still.jpg");
    bOK &= Run("videotestsrc num-buffers=1 pattern=green ! video/x-raw,width=160,height=120 ! "
               "videoconvert ! avenc_bmp ! filesink location=%s",
               "still.bmp");
    bOK &= WriteBytes("still.gif", SolidGif(160, 120, 255, 0, 0), false);
    // Bytes no demuxer recognises.
    std::vector<unsigned char> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<unsigned char>((i * 7919u + 13u) >> 3);
    bOK &= WriteBytes("corrupt.mp4", garbage, false);
    bOK &= GenerateCurrentFormats();
    bOK &= WriteDamagedMp4("clip.mp4");
    bOK &= WriteNumberedClips();
    return bOK ? 0 : 1;
}
