#include "HeapPeak.h"
#include "NativeMessagingHost.h"
#include "SafariWebExtensionHandler.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>

using namespace ondrake;

namespace {

class QuietNotifier final : public NamedNotifier {
public:
    void post(const QString &) override {}
    NotificationObservation observe(const QString &, std::function<void()>) override { return {}; }
};

// A state message as the extension sends it for `count` tabs over ten windows, framed for the host.
QByteArray framedStateMessage(int count) {
    QJsonArray tabs;
    for (int i = 0; i < count; ++i)
        tabs.append(QJsonObject{
            {QStringLiteral("safariTabId"), 10'000 + i},
            {QStringLiteral("safariWindowId"), i % 10},
            {QStringLiteral("title"), QStringLiteral("Page %1 of a long session \u2014 Example").arg(i)},
            {QStringLiteral("url"), QStringLiteral("https://site%1.example/path/to/page?id=%2&ref=sidebar").arg(i % 97).arg(i)},
            {QStringLiteral("active"), i % 10 == 0},
            {QStringLiteral("pinned"), i < 5},
        });
    const QByteArray payload = QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("state")},
                                                         {QStringLiteral("tabs"), tabs},
                                                         {QStringLiteral("focusedWindowId"), 3}})
                                   .toJson(QJsonDocument::Compact);
    const quint32 length = quint32(payload.size());
    QByteArray framed(sizeof length, Qt::Uninitialized);
    std::memcpy(framed.data(), &length, sizeof length);
    return framed + payload;
}

void runHost(QByteArray &input, SafariWebExtensionHandler &handler) {
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    benchmark::DoNotOptimize(NativeMessagingHost(buffer, handler).run());
}

// One state message from the host's input to the exchange file on disk. "peak/message" is the
// most heap the run held at once (the message read from the input included) over the message's size.
void BM_ExtensionStateMessageToFile(benchmark::State &state) {
    QTemporaryDir home;
    QuietNotifier notifier;
    SafariWebExtensionHandler handler(home.path(), notifier);
    QByteArray input = framedStateMessage(int(state.range(0)));
    double peakRatio = 0;
    {
        runHost(input, handler);  // the folder exists from here on, as it does after the first message
        const bench::HeapPeak peak;
        runHost(input, handler);
        peakRatio = double(peak.bytes()) / double(input.size());
    }
    for (auto _ : state) runHost(input, handler);
    state.SetBytesProcessed(state.iterations() * input.size());
    state.counters["message_MiB"] = double(input.size()) / (1024.0 * 1024.0);
    state.counters["peak/message"] = peakRatio;
}
BENCHMARK(BM_ExtensionStateMessageToFile)->Arg(1000)->Arg(20'000)->Unit(benchmark::kMillisecond);

}  // namespace
