// The hex view held on Page Down over a 10 GB sparse file: time per key
// (the key handled and the window painted) and the bytes read per key,
// which must be no more than the 256 shown.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <filesystem>

#include "bench_data_common.h"
#include "hexedit/frmHexView.h"
#include "hexedit/hexviewhost.h"

namespace {

struct SparseHost : velmor::hexedit::HexViewHost {
    std::string path;
    std::int64_t length = 0;
    std::string PathAndName() override { return path; }
    std::int64_t FileLength() override { return length; }
    std::int64_t RecordStartByte() override { return 1; }
    void RefreshView() override {}
    void ReloadFile() override {}
};

// Median and worst milliseconds of Keys presses of Page Down from Start.
void Hold(velmor::hexedit::frmHexView& view, std::int64_t start, int keys, double& median,
          double& worst) {
    view.SetStartingByte(static_cast<double>(start));
    view.RefreshHexBox();
    std::vector<double> times;
    for (int i = 0; i < keys; ++i) {
        const auto t = bench::Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(view.txtHex, &press);
        view.repaint();
        times.push_back(bench::SecondsSince(t) * 1000);
    }
    median = bench::Median(times);
    worst = *std::max_element(times.begin(), times.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Options o = bench::ParseOptions(argc, argv, 10240);
    QApplication app(argc, argv);
    SparseHost host;
    host.path = o.folder + "/sparse.bin";
    host.length = o.megabytes << 20;
    {
        const int fd = ::open(host.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, host.length) != 0) return 1;
        ::pwrite(fd, "velmor", 6, host.length - 6);
        ::close(fd);
    }
    velmor::hexedit::frmHexView view(host);
    view.Form_Load();
    view.show();
    QApplication::processEvents();

    const int keys = 2000;
    double startMedian = 0, startWorst = 0, endMedian = 0, endWorst = 0;
    view.mBytesRead = 0;
    Hold(view, 1, keys, startMedian, startWorst);
    const std::int64_t readAtStart = view.mBytesRead;
    view.mBytesRead = 0;
    Hold(view, host.length - keys * 208LL - 4096, keys, endMedian, endWorst);
    const std::int64_t readAtEnd = view.mBytesRead;
    std::filesystem::remove(host.path);

    std::printf("Hex view, Page Down held: %d keys twice on a %.1f GB sparse file\n", keys,
                host.length / 1e9);
    bench::PrintLoad();
    bench::Figure("near the start: median ms a key", startMedian, "ms");
    bench::Figure("near the start: worst ms a key", startWorst, "ms");
    bench::Figure("near the end: median ms a key", endMedian, "ms");
    bench::Figure("near the end: worst ms a key", endWorst, "ms");
    bench::Figure("bytes read a key", (readAtStart + readAtEnd) / (2.0 * (keys + 1)), "");
    bench::Figure("position shown at the end", static_cast<double>(view.StartingByte()), "");
    bench::Verdict("under 5 ms a key (median)", std::max(startMedian, endMedian) < 5);
    bench::Verdict("no more than 256 bytes read a key",
                   readAtStart <= 256LL * (keys + 1) && readAtEnd <= 256LL * (keys + 1));
    return 0;
}
