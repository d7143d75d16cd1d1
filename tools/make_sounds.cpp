// Makes the sounds of the demo and of the platformer example and saves them. Into the first
// folder (data/): gem.wav, a two-note chime for a collected gem, and round.wav, a rising
// arpeggio for a finished round. Into the second (examples/hopper/data): jump.wav, coin.wav,
// and music.ogg, a tune with a short introduction and a loop named by its LOOPSTART and
// LOOPLENGTH comments, so that it plays on seamlessly after the introduction.
// Usage: make_sounds [demo folder] [hopper folder]
#include <sndfile.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int kRate = 44100;
const double kPi = 3.14159265358979323846;

double midiHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A note added to the samples from frame start: a sine with a touch of its third harmonic,
// a 5 ms attack and an exponential decay, silent again at its end.
void addNote(std::vector<double>& out, int start, int length, double hz, double level,
             double decay) {
    for (int i = 0; i < length && start + i < static_cast<int>(out.size()); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.005);
        const double release = std::min(1.0, static_cast<double>(length - i) / (0.01 * kRate));
        const double wave = std::sin(2 * kPi * hz * t) + 0.25 * std::sin(6 * kPi * hz * t);
        out[static_cast<std::size_t>(start + i)] +=
            level * attack * release * std::exp(-decay * t) * wave;
    }
}

std::vector<short> toSamples(const std::vector<double>& in) {
    std::vector<short> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double v = std::max(-1.0, std::min(1.0, in[i]));
        out[i] = static_cast<short>(std::lround(v * 32767));
    }
    return out;
}

bool saveWav(const std::string& file, const std::vector<double>& mono) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    if (out == nullptr) {
        std::fprintf(stderr, "Cannot write %s: %s\n", file.c_str(), sf_strerror(nullptr));
        return false;
    }
    std::vector<short> samples = toSamples(mono);
    bool ok = sf_writef_short(out, samples.data(), static_cast<sf_count_t>(samples.size())) ==
              static_cast<sf_count_t>(samples.size());
    return sf_close(out) == 0 && ok;
}

// Writes every page the stream has ready (all of them when flushing the headers).
bool writePages(ogg_stream_state& stream, std::FILE* out, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (std::fwrite(page.header, 1, static_cast<std::size_t>(page.header_len), out) !=
                static_cast<std::size_t>(page.header_len) ||
            std::fwrite(page.body, 1, static_cast<std::size_t>(page.body_len), out) !=
                static_cast<std::size_t>(page.body_len))
            return false;
    }
    return true;
}

// Encodes stereo samples (left first) as Ogg Vorbis with the comments given.
bool saveOgg(const std::string& file, const std::vector<double>& stereo,
             const std::vector<std::string>& comments) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        return false;
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, 2, kRate, 0.3f);
    vorbis_comment tags;
    vorbis_comment_init(&tags);
    for (const std::string& comment : comments)
        vorbis_comment_add(&tags, comment.c_str());
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 20261209);
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &tags, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    bool ok = writePages(stream, out, true);

    const long frames = static_cast<long>(stereo.size() / 2);
    for (long at = 0; at <= frames && ok;) {
        const long chunk = std::min(4096L, frames - at);
        if (chunk > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
            for (long i = 0; i < chunk; ++i) {
                buffer[0][i] = static_cast<float>(stereo[static_cast<std::size_t>(2 * (at + i))]);
                buffer[1][i] =
                    static_cast<float>(stereo[static_cast<std::size_t>(2 * (at + i) + 1)]);
            }
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(chunk)); // 0: the end
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ok = ok && writePages(stream, out, false);
            }
        }
        at += chunk > 0 ? chunk : 1;
    }
    ok = ok && writePages(stream, out, true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&tags);
    vorbis_info_clear(&info);
    return std::fclose(out) == 0 && ok;
}

std::vector<double> gemChime() {
    std::vector<double> out(kRate * 22 / 100, 0.0);
    addNote(out, 0, kRate * 8 / 100, midiHz(88), 0.35, 20);               // E6
    addNote(out, kRate * 6 / 100, kRate * 16 / 100, midiHz(93), 0.4, 18); // A6
    return out;
}

std::vector<double> roundFanfare() {
    std::vector<double> out(kRate * 80 / 100, 0.0);
    const int notes[] = {72, 76, 79, 84}; // C5 E5 G5 C6
    for (int i = 0; i < 4; ++i)
        addNote(out, i * kRate * 12 / 100, (i == 3 ? 44 : 14) * kRate / 100, midiHz(notes[i]), 0.35,
                i == 3 ? 4 : 10);
    return out;
}

std::vector<double> jumpSweep() {
    std::vector<double> out(kRate * 14 / 100, 0.0);
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += 2 * kPi * (300 + 3000 * t) / kRate;
        const double attack = std::min(1.0, t / 0.003);
        const double release = std::min(1.0, static_cast<double>(out.size() - i) / (0.01 * kRate));
        out[i] = 0.22 * attack * release * (std::sin(phase) > 0 ? 1 : -1) * std::exp(-8 * t);
    }
    return out;
}

std::vector<double> coinBlip() {
    std::vector<double> out(kRate * 30 / 100, 0.0);
    addNote(out, 0, kRate * 7 / 100, midiHz(83), 0.3, 5);                // B5
    addNote(out, kRate * 7 / 100, kRate * 23 / 100, midiHz(88), 0.3, 9); // E6
    return out;
}

// The platformer's tune, in steps of a fifth of a second: 8 steps of bass alone, then a loop
// of 32 steps of melody and bass. Every note ends within its step, so the loop's end joins
// its start without a click. Returns stereo samples; the loop's start and length in frames.
std::vector<double> tune(long& loopStart, long& loopLength) {
    const int step = kRate / 5;
    const int bass[8] = {45, 45, 52, 52, 41, 41, 48, 47}; // A2 E3 F2 C3 B2
    const int melody[32] = {69, 0, 72, 76, 74, 72, 71, 0,  72, 0,  74, 76, 77, 76, 74, 72,
                            69, 0, 72, 76, 79, 77, 76, 74, 72, 71, 69, 71, 72, 0,  69, 0};
    const int steps = 8 + 32;
    std::vector<double> left(static_cast<std::size_t>(steps * step), 0.0);
    std::vector<double> right(left.size(), 0.0);
    for (int s = 0; s < steps; ++s) {
        const double bassHz = midiHz(bass[(s / 2) % 8]);
        addNote(left, s * step, step, bassHz, 0.16, 6);
        addNote(right, s * step, step, bassHz, 0.16, 6);
        const int note = s >= 8 ? melody[s - 8] : 0;
        if (note != 0) {
            addNote(left, s * step, step, midiHz(note), 0.2, 5);
            addNote(right, s * step, step, midiHz(note), 0.14, 5);
        }
    }
    std::vector<double> stereo(left.size() * 2);
    for (std::size_t i = 0; i < left.size(); ++i) {
        stereo[2 * i] = left[i];
        stereo[2 * i + 1] = right[i];
    }
    loopStart = 8L * step;
    loopLength = 32L * step;
    return stereo;
}

} // namespace

int main(int argc, char** argv) {
    const std::string demo = argc > 1 ? argv[1] : "data";
    const std::string hopper = argc > 2 ? argv[2] : "examples/hopper/data";
    long loopStart = 0;
    long loopLength = 0;
    const std::vector<double> music = tune(loopStart, loopLength);
    const bool ok =
        saveWav(demo + "/gem.wav", gemChime()) && saveWav(demo + "/round.wav", roundFanfare()) &&
        saveWav(hopper + "/jump.wav", jumpSweep()) && saveWav(hopper + "/coin.wav", coinBlip()) &&
        saveOgg(hopper + "/music.ogg", music,
                {"TITLE=Hopper's tune", "LOOPSTART=" + std::to_string(loopStart),
                 "LOOPLENGTH=" + std::to_string(loopLength)});
    if (!ok) {
        std::fprintf(stderr, "make_sounds: a sound could not be written\n");
        return 1;
    }
    std::printf("Sounds written to %s and %s.\n", demo.c_str(), hopper.c_str());
    return 0;
}
