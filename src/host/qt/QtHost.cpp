#include "host/qt/QtHost.h"
#include "host/qt/QtSettings.h"

#include "gpu/gl/GlDevice.h"
#include "host/WindowHost.h"
#include "host/qt/DisplayProbe.h"
#include "host/qt/QtShell.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPlatformSurfaceEvent>
#include <QSortFilterProxyModel>
#include <QSurfaceFormat>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace veskar {

namespace {

class MainWindow;
class ClientWindow;

QSurfaceFormat surfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    // Frames in step with the display where the driver allows it; playback
    // goes by the clock either way.
    format.setSwapInterval(1);
    return format;
}

std::uint32_t mouseKeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    std::uint32_t state = 0;
    if (buttons & Qt::LeftButton) state |= MK_LBUTTON;
    if (buttons & Qt::RightButton) state |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) state |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) state |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) state |= MK_CONTROL;
    return state;
}

// Lets the Open dialog list what the Win32 dialog would: every folder, and
// the files the filter's patterns take without regard to case. Qt's own name
// filter is set to pass everything so this is the one rule in force.
class PatternProxy final : public QSortFilterProxyModel {
public:
    explicit PatternProxy(std::string patterns) : patterns_(std::move(patterns)) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()); files && files->isDir(index)) return true;
        const QByteArray name = QFile::encodeName(index.data(QFileSystemModel::FileNameRole).toString());
        return matchesFilter(std::string_view(name.constData(), static_cast<std::size_t>(name.size())), patterns_);
    }

private:
    std::string patterns_;
};

} // namespace

struct QtHost::Impl {
    explicit Impl(QtHost& owner) : host(owner) {}

    bool ensureApplication(std::string& error);
    bool buildWindow(const HostOptions& options, std::string& error);
    bool buildMenu(const std::vector<MenuItem>& table, std::string& error);
    bool createDevice(std::string& error);
    void makeCurrent();
    void releaseDevice();
    void updateRenderTarget();

    // Events turned into messages.
    void key(const QKeyEvent& event, bool down);
    void mouse(const QMouseEvent& event);
    void wheel(const QWheelEvent& event);
    QAction* action(std::uint32_t command) const;
    void activationChanged();
    void resized();
    void exposed();
    bool dragEnter(QDropEvent& event);
    void drop(const QDropEvent& event);

    QtHost& host;
    std::unique_ptr<QApplication> ownApplication;
    int argc = 1;
    char programName[8] = "veskar";
    char* argv[2] = {programName, nullptr};

    MainWindow* main = nullptr;
    ClientWindow* client = nullptr;  // owned by container
    QWidget* container = nullptr;    // owned by main
    std::unique_ptr<QOpenGLContext> context;
    std::unique_ptr<GlDevice> device;
    QtShell shell;

    int requestedWidth = 0;
    int requestedHeight = 0;
    QSize reportedSize;
    bool active = false;
    bool acceptFiles = false;
    bool destroying = false;
    bool inExpose = false;
    QString lastDirectory;
};

namespace {

class MainWindow final : public QMainWindow {
public:
    explicit MainWindow(QtHost::Impl& impl) : impl_(impl) {}

protected:
    // Closing is the application's decision, as WM_CLOSE is on Windows.
    void closeEvent(QCloseEvent* event) override
    {
        if (impl_.destroying) {
            event->accept();
            return;
        }
        event->ignore();
        impl_.host.post({WM_CLOSE, 0, 0, {}});
    }
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ActivationChange) impl_.activationChanged();
        QMainWindow::changeEvent(event);
    }
    // Keys no widget took (the client window has its own handler).
    void keyPressEvent(QKeyEvent* event) override { impl_.key(*event, true); }
    void keyReleaseEvent(QKeyEvent* event) override { impl_.key(*event, false); }
    void dragEnterEvent(QDragEnterEvent* event) override { impl_.dragEnter(*event); }
    void dragMoveEvent(QDragMoveEvent* event) override { impl_.dragEnter(*event); }
    void dropEvent(QDropEvent* event) override { impl_.drop(*event); }

private:
    QtHost::Impl& impl_;
};

class ClientWindow final : public QWindow {
public:
    explicit ClientWindow(QtHost::Impl& impl) : impl_(impl) { setSurfaceType(QSurface::OpenGLSurface); }

protected:
    bool event(QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            impl_.key(static_cast<QKeyEvent&>(*event), event->type() == QEvent::KeyPress);
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            impl_.mouse(static_cast<QMouseEvent&>(*event));
            return true;
        case QEvent::Wheel:
            impl_.wheel(static_cast<QWheelEvent&>(*event));
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
            impl_.dragEnter(static_cast<QDropEvent&>(*event));
            return true;
        case QEvent::Drop:
            impl_.drop(static_cast<QDropEvent&>(*event));
            return true;
        case QEvent::PlatformSurface:
            // The device's objects die with the context's last current
            // surface; after this the GL calls would have nothing to run on.
            if (static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
                impl_.releaseDevice();
            break;
        default:
            break;
        }
        return QWindow::event(event);
    }
    void exposeEvent(QExposeEvent*) override { impl_.exposed(); }
    void resizeEvent(QResizeEvent*) override { impl_.resized(); }

private:
    QtHost::Impl& impl_;
};

// Windows gives the menu bar the keyboard only while a menu is in use. Qt's
// keeps it after a menu closes when no widget had the focus before (the
// client is a native window, not a widget), and then takes Esc and the menus'
// letters for itself. Outside a menu its keys go back to the client.
class MenuBarKeys final : public QObject {
public:
    MenuBarKeys(QtHost::Impl& impl, QMenuBar* bar) : QObject(bar), impl_(impl), bar_(bar) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool press = event->type() == QEvent::KeyPress;
        if (watched != bar_ || (!press && event->type() != QEvent::KeyRelease) || bar_->activeAction()) return false;
        if (impl_.container) impl_.container->setFocus(Qt::OtherFocusReason);
        impl_.key(static_cast<QKeyEvent&>(*event), press);
        return true;
    }

private:
    QtHost::Impl& impl_;
    QMenuBar* bar_;
};

} // namespace

std::uint32_t virtualKeyFromQt(int qtKey, bool keypad)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? VK_NUMPAD0 + static_cast<std::uint32_t>(qtKey - Qt::Key_0) : static_cast<std::uint32_t>(qtKey);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<std::uint32_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return VK_F1 + static_cast<std::uint32_t>(qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Asterisk: return keypad ? VK_MULTIPLY : 0;
    case Qt::Key_Plus: return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus: return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Slash: return keypad ? VK_DIVIDE : 0;
    case Qt::Key_Period: return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Comma: return keypad ? VK_DECIMAL : VK_OEM_COMMA;
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    default: return 0;
    }
}

bool QtHost::Impl::ensureApplication(std::string& error)
{
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(existing)) {
            error = "the program made a QCoreApplication; a window needs a QApplication";
            return false;
        }
        return true;
    }
    // Without a display Qt's platform plugin ends the process; say so instead.
    if (!probeDisplay(error)) return false;
    const auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return !value || !*value;
    };
    // One pixel of the window is one pixel of the framebuffer, as for the
    // Windows program, unless the user asks Qt for scaling.
    if (unset("QT_ENABLE_HIGHDPI_SCALING") && unset("QT_SCALE_FACTOR")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    startQtQuietly([](void* self) {
        Impl& impl = *static_cast<Impl*>(self);
        impl.ownApplication = std::make_unique<QApplication>(impl.argc, impl.argv);
    }, this);
    return true;
}

bool QtHost::Impl::buildMenu(const std::vector<MenuItem>& table, std::string& error)
{
    QMenuBar* bar = main->menuBar();
    // Keeps the menu in the window where a desktop would move it to a global bar.
    bar->setNativeMenuBar(false);
    bar->installEventFilter(new MenuBarKeys(*this, bar));
    std::vector<QMenu*> open;  // open[d]: the submenu holding depth d + 1
    for (const MenuItem& item : table) {
        if (item.depth < 0 || static_cast<std::size_t>(item.depth) > open.size()) {
            error = "menu table: \"" + item.caption + "\" is nested deeper than the submenu before it";
            return false;
        }
        open.resize(static_cast<std::size_t>(item.depth));
        const QString caption = QString::fromUtf8(item.caption);
        QMenu* parent = open.empty() ? nullptr : open.back();
        if (item.command == 0 && item.caption.empty()) {
            if (parent) parent->addSeparator();
            else bar->addSeparator();
        } else if (item.command == 0) {
            open.push_back(parent ? parent->addMenu(caption) : bar->addMenu(caption));
        } else {
            QAction* action = parent ? parent->addAction(caption) : bar->addAction(caption);
            action->setData(static_cast<uint>(item.command));
            action->setVisible(!item.caption.empty());
            const std::uint32_t id = item.command;
            QObject::connect(action, &QAction::triggered, main, [this, id] { host.post({WM_COMMAND, makeWParam(id, 0), 0, {}}); });
        }
    }
    return true;
}

bool QtHost::Impl::buildWindow(const HostOptions& options, std::string& error)
{
    main = new MainWindow(*this);
    main->setWindowTitle(QString::fromUtf8(options.title));
    if (!options.iconPath.empty()) {
        const QIcon icon(QString::fromUtf8(options.iconPath));
        if (!icon.availableSizes().isEmpty()) main->setWindowIcon(icon);
    }
    if (!buildMenu(options.menu, error)) return false;

    client = new ClientWindow(*this);
    client->setFormat(surfaceFormat());
    container = QWidget::createWindowContainer(client, main);
    container->setFocusPolicy(Qt::StrongFocus);
    // Opened at the asked size, with the menu bar above the client area
    // instead of eating into it (fitClient); the user may resize it after.
    container->setFixedSize(options.clientWidth, options.clientHeight);
    main->setCentralWidget(container);
    acceptFiles = options.acceptFiles;
    main->setAcceptDrops(acceptFiles);
    requestedWidth = options.clientWidth;
    requestedHeight = options.clientHeight;
    return true;
}

bool QtHost::Impl::createDevice(std::string& error)
{
    // Native windows now, still hidden, so the device exists before anything
    // is shown, as the Direct3D device did. The surface is made at the client
    // size: Mesa's software GL keeps a window's first size until a swap.
    client->resize(requestedWidth, requestedHeight);
    main->adjustSize();
    main->winId();
    client->create();
    if (!client->handle()) {
        error = "the window system gave no native window for OpenGL";
        return false;
    }
    context = std::make_unique<QOpenGLContext>();
    context->setFormat(surfaceFormat());
    if (!context->create()) {
        error = "no OpenGL context could be made; install libgl1-mesa-dri (Mesa), or use --headless";
        return false;
    }
    const QSurfaceFormat got = context->format();
    if (got.version() < qMakePair(3, 3) || got.profile() != QSurfaceFormat::CoreProfile) {
        error = "OpenGL 3.3 core is not available (got " + std::to_string(got.majorVersion()) + "." + std::to_string(got.minorVersion()) +
                "); a driver that offers it is needed, for example Mesa's llvmpipe in libgl1-mesa-dri";
        return false;
    }
    if (!context->makeCurrent(client)) {
        error = "the OpenGL context could not be made current on the window";
        return false;
    }
    auto made = std::make_unique<GlDevice>();
    if (!made->initialise(error)) return false;
    device = std::move(made);
    updateRenderTarget();
    return true;
}

void QtHost::Impl::makeCurrent()
{
    if (context && client && client->handle() && QOpenGLContext::currentContext() != context.get()) context->makeCurrent(client);
}

void QtHost::Impl::updateRenderTarget()
{
    if (!device || !client) return;
    const qreal ratio = client->devicePixelRatio();
    const int width = std::max(1, static_cast<int>(std::lround(client->width() * ratio)));
    const int height = std::max(1, static_cast<int>(std::lround(client->height() * ratio)));
    device->setRenderTarget(context->defaultFramebufferObject(), width, height);
}

void QtHost::Impl::releaseDevice()
{
    if (!device) return;
    if (client && client->handle()) context->makeCurrent(client);
    if (host.surfaceLostHandler_) host.surfaceLostHandler_();
    device.reset();
    context->doneCurrent();
}

void QtHost::Impl::key(const QKeyEvent& event, bool down)
{
    // Windows repeats only the key-down; X sends a release before each repeat.
    if (!down && event.isAutoRepeat()) return;
    const std::uint32_t vk = virtualKeyFromQt(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0);
    if (vk == 0) return;
    std::intptr_t lParam = 1;  // repeat count
    if (down && event.isAutoRepeat()) lParam |= kKeyPreviouslyDown;
    if (!down) lParam |= kKeyPreviouslyDown | kKeyTransitionUp;
    // As on Windows, Alt, F10 and keys held with Alt are system keys: the
    // window procedure's key table never sees the menu's mnemonics.
    const bool system = vk == VK_MENU || vk == VK_F10 || (event.modifiers() & Qt::AltModifier);
    if (system && (event.modifiers() & Qt::AltModifier)) lParam |= kKeyAltDown;
    const std::uint32_t id = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    host.post({id, vk, lParam, {}});
}

void QtHost::Impl::mouse(const QMouseEvent& event)
{
    const QPoint at = event.position().toPoint();
    // Qt keeps sending to the window a button went down in; Windows without
    // mouse capture stops at the client edge, and the window procedure is
    // written for that (a release outside is never seen).
    if (!client || at.x() < 0 || at.y() < 0 || at.x() >= client->width() || at.y() >= client->height()) return;
    const std::intptr_t lParam = makeLParam(static_cast<std::uint32_t>(at.x()), static_cast<std::uint32_t>(at.y()));
    const std::uintptr_t wParam = mouseKeyState(event.buttons(), event.modifiers());
    std::uint32_t id = 0;
    if (event.type() == QEvent::MouseMove) {
        id = WM_MOUSEMOVE;
    } else {
        const bool down = event.type() == QEvent::MouseButtonPress;
        switch (event.button()) {
        case Qt::LeftButton: id = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case Qt::RightButton: id = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case Qt::MiddleButton: id = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: return;
        }
    }
    host.post({id, wParam, lParam, {}});
}

void QtHost::Impl::wheel(const QWheelEvent& event)
{
    const int delta = event.angleDelta().y();
    if (delta == 0) return;
    // As WM_MOUSEWHEEL: the signed distance in the high word of wParam (120 a
    // notch), the keys and buttons held in the low word, the cursor in
    // screen coordinates.
    const QPoint at = event.globalPosition().toPoint();
    const std::uint32_t keys = mouseKeyState(event.buttons(), event.modifiers());
    host.post({WM_MOUSEWHEEL, makeWParam(keys, static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(delta, -32768, 32767))))),
               makeLParam(static_cast<std::uint32_t>(at.x()), static_cast<std::uint32_t>(at.y())), {}});
}

QAction* QtHost::Impl::action(std::uint32_t command) const
{
    if (!main) return nullptr;
    for (QAction* a : main->menuBar()->findChildren<QAction*>())
        if (a->data().isValid() && a->data().toUInt() == command) return a;
    return nullptr;
}

void QtHost::Impl::activationChanged()
{
    const bool now = main && main->isActiveWindow();
    if (now == active) return;
    active = now;
    const std::uint32_t minimized = main && main->isMinimized() ? 1u : 0u;
    host.post({WM_ACTIVATE, makeWParam(now ? WA_ACTIVE : WA_INACTIVE, minimized), 0, {}});
}

void QtHost::Impl::resized()
{
    if (!client) return;
    const QSize size = client->size();
    updateRenderTarget();
    if (size == reportedSize || size.isEmpty()) return;
    // Mesa's software GL learns a window's new size only at a swap, so the
    // first frame after a resize would be drawn at the old one; swap once
    // now (the window's picture is undefined after a resize anyway).
    if (device && client->isExposed()) {
        makeCurrent();
        context->swapBuffers(client);
    }
    reportedSize = size;
    host.post({WM_SIZE, SIZE_RESTORED, makeLParam(static_cast<std::uint32_t>(size.width()), static_cast<std::uint32_t>(size.height())), {}});
}

void QtHost::Impl::exposed()
{
    if (!client || !client->isExposed() || !device || !host.exposeHandler_ || inExpose) return;
    inExpose = true;
    makeCurrent();
    updateRenderTarget();
    host.exposeHandler_();
    inExpose = false;
}

bool QtHost::Impl::dragEnter(QDropEvent& event)
{
    const QMimeData* data = event.mimeData();
    bool anyFile = false;
    if (acceptFiles && data && data->hasUrls())
        for (const QUrl& url : data->urls()) anyFile = anyFile || url.isLocalFile();
    if (anyFile) event.acceptProposedAction();
    else event.ignore();
    return anyFile;
}

void QtHost::Impl::drop(const QDropEvent& event)
{
    const QMimeData* data = event.mimeData();
    if (!acceptFiles || !data || !data->hasUrls()) return;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QByteArray path = QFile::encodeName(url.toLocalFile());
        host.post({WM_DROPFILES, 0, 0, std::string(path.constData(), static_cast<std::size_t>(path.size()))});
    }
}

QtHost::QtHost() : impl_(std::make_unique<Impl>(*this)) {}

QtHost::~QtHost()
{
    destroy();
    impl_->ownApplication.reset();
}

bool QtHost::create(const HostOptions& options, std::string& error)
{
    destroy();
    if (options.clientWidth <= 0 || options.clientHeight <= 0) {
        error = "the client area must have a positive size";
        return false;
    }
    if (!impl_->ensureApplication(error)) return false;
    if (!impl_->buildWindow(options, error) || !impl_->createDevice(error)) {
        destroy();
        return false;
    }
    impl_->shell.setWindow(impl_->main);
    return true;
}

void QtHost::show()
{
    Impl& d = *impl_;
    if (!d.main) return;
    d.main->show();
    // Without a window manager nothing activates a new window; ask for it,
    // and give the keyboard to the client area rather than the menu bar.
    d.main->activateWindow();
    d.main->raise();
    d.container->setFocus(Qt::ActiveWindowFocusReason);
    d.client->requestActivate();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    d.resized();
    d.activationChanged();
    d.makeCurrent();
}

Device* QtHost::device() { return impl_->device.get(); }

bool QtHost::peekMessage(WindowMessage& message)
{
    if (QCoreApplication::instance()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // A loop of one's own never reaches the level where Qt deletes what
        // was scheduled for deletion (menus' and dialogs' internals).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        impl_->makeCurrent();
    }
    return queue_.take(message);
}

void QtHost::waitMessage()
{
    if (!queue_.empty() || !QCoreApplication::instance()) return;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    impl_->makeCurrent();
}

void QtHost::present()
{
    Impl& d = *impl_;
    // Swapping an unexposed window is undefined in Qt; the frame is dropped.
    if (!d.device || !d.client || !d.client->isExposed()) return;
    d.makeCurrent();
    d.context->swapBuffers(d.client);
}

bool QtHost::isActive() const { return impl_->main && impl_->main->isActiveWindow(); }

bool QtHost::openFileDialog(const FileFilter& filter, std::string& path)
{
    Impl& d = *impl_;
    if (!d.main) return false;
    bool chosen = false;
    {
        const QString start = dialogFolder_.empty() ? d.lastDirectory : QFile::decodeName(QByteArray(dialogFolder_.data(), static_cast<qsizetype>(dialogFolder_.size())));
        QFileDialog dialog(d.main, QStringLiteral("Open"), start);
        // The platform's dialogs (GTK, portals) match patterns with case;
        // only Qt's own takes a proxy.
        dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setProxyModel(new PatternProxy(filter.pattern));  // the dialog takes it as a child
        dialog.setNameFilter(QString::fromUtf8(filter.description) + QStringLiteral(" (*)"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            const QString file = dialog.selectedFiles().constFirst();
            const QByteArray bytes = QFile::encodeName(file);
            path.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            d.lastDirectory = dialog.directory().absolutePath();
            chosen = true;
        }
    }
    if (d.main->isVisible()) d.main->activateWindow();
    d.makeCurrent();
    return chosen;
}

void QtHost::fitClient(int width, int height)
{
    Impl& d = *impl_;
    if (!d.container || width <= 0 || height <= 0) return;
    d.requestedWidth = width;
    d.requestedHeight = height;
    // Fixed for the moment the window takes its size around the client,
    // then free again so the user can resize the window.
    d.container->setFixedSize(width, height);
    d.main->adjustSize();
    d.container->setMinimumSize(1, 1);
    d.container->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void QtHost::setMenuCaption(std::uint32_t command, const std::string& caption)
{
    QAction* a = impl_->action(command);
    if (!a) return;
    a->setText(QString::fromUtf8(caption));
    a->setVisible(!caption.empty());
}

void QtHost::setMenuCheck(std::uint32_t command, bool checked)
{
    QAction* a = impl_->action(command);
    if (!a) return;
    a->setCheckable(true);
    a->setChecked(checked);
}

int QtHost::clientWidth() const { return impl_->client && impl_->client->width() > 0 ? impl_->client->width() : impl_->requestedWidth; }

int QtHost::clientHeight() const { return impl_->client && impl_->client->height() > 0 ? impl_->client->height() : impl_->requestedHeight; }

Shell& QtHost::messageShell() { return impl_->shell; }

void QtHost::destroy()
{
    Impl& d = *impl_;
    d.releaseDevice();
    d.context.reset();
    if (d.main) {
        d.destroying = true;
        d.shell.setWindow(nullptr);
        delete d.main;
        d.main = nullptr;
        d.client = nullptr;
        d.container = nullptr;
        d.destroying = false;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    d.reportedSize = QSize();
    d.active = false;
    queue_.clear();
}

QMainWindow* QtHost::mainWindow() const { return impl_->main; }

QWindow* QtHost::clientWindow() const { return impl_->client; }

} // namespace veskar

namespace veskar {

std::unique_ptr<Host> makeWindowHost() { return std::make_unique<QtHost>(); }

std::unique_ptr<Settings> makeWindowSettings() { return openQtSettings(); }

} // namespace veskar
