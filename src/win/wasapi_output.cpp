#include "wasapi_output.h"

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "app/debug_log.h"
#include "text/format.h"
#include "wasapi_stream.h"

namespace vendrel::win {
namespace {

using Microsoft::WRL::ComPtr;

// How often a lost device is tried again.
constexpr DWORD kRetryMilliseconds = 1000;
constexpr int kDefaultDevice = 1;

// Tells the output thread when the system's default output changes; Windows calls it on a
// thread of its own, so it only signals. COM interfaces have no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DefaultDeviceWatch final : public IMMNotificationClient {
public:
    explicit DefaultDeviceWatch(HANDLE changed) : changed_(changed) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, __uuidof(IUnknown)) ||
            IsEqualIID(iid, __uuidof(IMMNotificationClient))) {
            *object = static_cast<IMMNotificationClient*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by the output thread, which unregisters it before it goes.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
        if (flow == eRender && role == eConsole) {
            SetEvent(changed_);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override {
        return S_OK;
    }

private:
    HANDLE changed_;
};
#pragma GCC diagnostic pop

} // namespace

// The output thread and what it owns. Other threads reach it only through call().
class WasapiOutput::Thread {
public:
    explicit Thread(DebugLog& log) : log_(log) {
        wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        defaultChanged_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        thread_ = std::thread([this] { run(); });
    }
    ~Thread() {
        call([this] { isStopping_ = true; });
        thread_.join();
        CloseHandle(wake_);
        CloseHandle(defaultChanged_);
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs work on the output thread and waits for it. The output thread never waits for
    // anyone, so this cannot deadlock.
    void call(std::function<void()> work) {
        std::promise<void> done;
        auto finished = done.get_future();
        {
            std::lock_guard guard(lock_);
            tasks_.push_back([&] {
                work();
                done.set_value();
            });
        }
        SetEvent(wake_);
        finished.wait();
    }

    // The output thread, for all of these.
    std::vector<std::string> listNames();
    bool openDevice(int device, std::uint32_t rate, AudioOutput::RenderCallback render);
    void closeDevice();

    std::atomic<int> current{0};

private:
    void run();
    void runTasks();
    void recover();
    [[nodiscard]] std::unique_ptr<WasapiStream>
    openStream(int device, std::uint32_t rate, const AudioOutput::RenderCallback& render,
               bool isLogged = true);

    DebugLog& log_;
    HANDLE wake_ = nullptr;
    HANDLE defaultChanged_ = nullptr;
    std::thread thread_;
    std::mutex lock_;
    std::deque<std::function<void()>> tasks_;

    // Output thread only.
    bool isStopping_ = false;
    ComPtr<IMMDeviceEnumerator> enumerator_;
    std::vector<Endpoint> endpoints_; // as last listed: devices 2...
    std::vector<std::string> loggedNames_;
    std::unique_ptr<WasapiStream> stream_;
    int wanted_ = 0; // the device asked for, kept while it is lost
    std::uint32_t rate_ = 0;
    AudioOutput::RenderCallback render_;
};

void WasapiOutput::Thread::run() {
    // The multithreaded apartment: the audio objects are free-threaded and this thread pumps
    // no messages.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    DefaultDeviceWatch watch(defaultChanged_);
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(enumerator_.GetAddressOf())))) {
        log_.line("WASAPI: no device enumerator");
    }
    const bool isWatching =
        enumerator_ && SUCCEEDED(enumerator_->RegisterEndpointNotificationCallback(&watch));
    while (!isStopping_) {
        const HANDLE waits[] = {wake_, defaultChanged_, stream_ ? stream_->event() : nullptr};
        const DWORD count = stream_ ? 3 : 2;
        const DWORD woken = WaitForMultipleObjects(
            count, waits, FALSE, wanted_ != 0 && !stream_ ? kRetryMilliseconds : INFINITE);
        if (woken == WAIT_OBJECT_0 + 2) {
            if (!stream_->fill()) {
                log_.line("WASAPI: the device was lost");
                stream_.reset();
                current = 0;
                recover();
            }
        } else if (woken == WAIT_OBJECT_0) {
            runTasks();
        } else if (woken == WAIT_OBJECT_0 + 1) {
            if (wanted_ == kDefaultDevice) {
                // Sound follows the system to its new default card.
                (void)openDevice(kDefaultDevice, rate_, render_);
            }
        } else if (woken == WAIT_TIMEOUT) {
            recover();
        }
    }
    stream_.reset();
    if (isWatching) {
        enumerator_->UnregisterEndpointNotificationCallback(&watch);
    }
    enumerator_.Reset();
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

void WasapiOutput::Thread::runTasks() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard guard(lock_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) {
        task();
    }
}

// A lost card: back on it when it returns; meanwhile the default output plays. Tried every
// second, so it stays out of debug.txt.
void WasapiOutput::Thread::recover() {
    if (wanted_ == 0) {
        return;
    }
    stream_ = openStream(wanted_, rate_, render_, false);
    if (!stream_ && wanted_ != kDefaultDevice) {
        stream_ = openStream(kDefaultDevice, rate_, render_, false);
        current = stream_ ? kDefaultDevice : 0;
        return;
    }
    current = stream_ ? wanted_ : 0;
}

std::vector<std::string> WasapiOutput::Thread::listNames() {
    endpoints_ = enumerator_ ? listEndpoints(*enumerator_.Get()) : std::vector<Endpoint>{};
    std::vector<std::string> names{"Default"};
    for (const auto& endpoint : endpoints_) {
        names.push_back(endpoint.name);
    }
    if (names != loggedNames_) {
        loggedNames_ = names;
        for (std::size_t i = 0; i < names.size(); ++i) {
            log_.line("WASAPI: device #", std::to_string(i + 1) + " [" + names[i] + "]");
        }
    }
    return names;
}

std::unique_ptr<WasapiStream>
WasapiOutput::Thread::openStream(int device, std::uint32_t rate,
                                 const AudioOutput::RenderCallback& render, bool isLogged) {
    if (!enumerator_ || device < 1) {
        return nullptr;
    }
    if (device != kDefaultDevice && endpoints_.empty()) {
        (void)listNames();
    }
    const auto index = static_cast<std::size_t>(device - 2);
    if (device != kDefaultDevice && index >= endpoints_.size()) {
        return nullptr;
    }
    std::string note;
    auto stream = WasapiStream::open(
        *enumerator_.Get(), device == kDefaultDevice ? std::wstring() : endpoints_[index].id, rate,
        render, note);
    if (isLogged) {
        log_.line(note, formatText(48, " (device #%d%s)", device, stream ? "" : ", not opened"));
    }
    return stream;
}

bool WasapiOutput::Thread::openDevice(int device, std::uint32_t rate,
                                      AudioOutput::RenderCallback render) {
    auto next = openStream(device, rate, render);
    if (!next) {
        return false;
    }
    // The new card is already playing; the old one stops only now.
    stream_ = std::move(next);
    wanted_ = device;
    rate_ = rate;
    render_ = std::move(render);
    current = device;
    return true;
}

void WasapiOutput::Thread::closeDevice() {
    stream_.reset();
    wanted_ = 0;
    current = 0;
    render_ = nullptr;
}

WasapiOutput::WasapiOutput(DebugLog& log) : thread_(std::make_unique<Thread>(log)) {}

WasapiOutput::~WasapiOutput() = default;

std::vector<std::string> WasapiOutput::deviceNames() {
    std::vector<std::string> names;
    thread_->call([&] { names = thread_->listNames(); });
    return names;
}

bool WasapiOutput::open(int device, std::uint32_t rate, RenderCallback render) {
    bool isOpen = false;
    thread_->call([&] { isOpen = thread_->openDevice(device, rate, std::move(render)); });
    return isOpen;
}

int WasapiOutput::currentDevice() const {
    return thread_->current;
}

void WasapiOutput::close() {
    thread_->call([&] { thread_->closeDevice(); });
}

} // namespace vendrel::win
