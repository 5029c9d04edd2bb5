// The help's readers at work: a SubRip file of 10,000 cues read from disk, the subtitle view finding the
// cue of the moment once per movie frame (25 fps) over those cues, and a 200 KB RTF text read into a
// document. Medians of five runs; the context header gives the load average.

#include "Classes/Help/OVSubtitle.h"
#include "Classes/Help/OVSubtitleView.h"
#include "Platform/UI/RichText.h"
#include "bench/BenchMain.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int kCues = 10000;

QString timeText(double seconds)
{
    const int ms = int(seconds * 1000 + 0.5);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// Cues of 1.5 s every 2 s, two lines each.
QString subtitleText()
{
    QString text;
    for (int i = 0; i < kCues; ++i)
        text +=
            QStringLiteral("%1\n%2 --> %3\nCue number %1 says what the movie shows\nand a second line\n\n")
                .arg(i + 1)
                .arg(timeText(i * 2.0), timeText(i * 2.0 + 1.5));
    return text;
}

void BM_Subtitles_Read_10000Cues(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Cues.srt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(subtitleText().toUtf8()) < 0) {
        state.SkipWithError("cannot write the cues");
        return;
    }
    file.close();
    for (auto _ : state) {
        auto cues = OVSubtitle::subtitlesFromFileAtURL(path);
        if (!cues || cues->size() != kCues) {
            state.SkipWithError("the cues were not read");
            return;
        }
        benchmark::DoNotOptimize(cues);
    }
}
BENCHMARK(BM_Subtitles_Read_10000Cues)->Unit(benchmark::kMillisecond);

void BM_Subtitles_LookupPerFrame_10000Cues(benchmark::State& state)
{
    OVSubtitleView view(pf::Rect(0, 0, 640, 400));
    view.setSubtitles(OVSubtitle::subtitlesFromString(subtitleText()));
    const double end = kCues * 2.0;
    double now = 0;
    for (auto _ : state) {
        now += 1.0 / 25;
        if (now > end)
            now = 0;
        view.setCurrentTime(now);
        benchmark::DoNotOptimize(view.currentSubtitle());
    }
}
BENCHMARK(BM_Subtitles_LookupPerFrame_10000Cues)->Unit(benchmark::kNanosecond);

// About 200 KB of help text: tables, bold and italic runs, colours, sizes and paragraphs.
QByteArray richText()
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss Helvetica;\\f1\\froman Times;}"
                     "{\\colortbl;\\red0\\green0\\blue0;\\red40\\green90\\blue160;}\\f0\\fs26 ";
    for (int i = 0; rtf.size() < 200 * 1024; ++i)
        rtf +=
            "\\pard\\li" + QByteArray::number(i % 3 * 120) + "\\qj {\\b Paragraph " + QByteArray::number(i) +
            ".} Every effect is a layer: {\\i paint it in} where it belongs, {\\cf2 set how strongly} it "
            "acts, and compare with the original at any time.\\tab {\\f1\\fs22 caf\\'e9 na\\u239?ve}\\par\n";
    return rtf + "}";
}

void BM_RichText_200KB(benchmark::State& state)
{
    const QByteArray rtf = richText();
    for (auto _ : state) {
        QTextDocument document;
        if (!pf::RichText::readRtf(rtf, &document)) {
            state.SkipWithError("the text was not read");
            return;
        }
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_RichText_200KB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksOffscreen(argc, argv);
}
