#include "platform/ClipboardBackend.h"

#include "platform/HtmlFormat.h"
#include "platform/X11Selection.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QImageWriter>
#include <QMimeData>
#include <QRegularExpression>
#include <memory>

namespace {

int waitMs = 3000;
// Nothing a person copies comes near this; an owner that sends more is refused.
constexpr qint64 SizeLimit = qint64(512) << 20;

// One connection for the process, made on first use and kept.
std::unique_ptr<X11Selection>& SelectionSlot() {
    static std::unique_ptr<X11Selection> selection;
    return selection;
}
X11Selection& Selection() {
    auto& selection = SelectionSlot();
    if (!selection)
        selection = std::make_unique<X11Selection>(waitMs, SizeLimit);
    return *selection;
}

struct Registry {
    QHash<QString, qint32> numbers;
    QStringList names;
};
Registry& Registered() {
    static Registry registry;
    return registry;
}

const QString HtmlFormatName = QStringLiteral("HTML Format");
const QString RichTextName = QStringLiteral("Rich Text Format");
const QString OwnerLinkName = QStringLiteral("OwnerLink");
const QString ObjectLinkName = QStringLiteral("ObjectLink");

bool IsSkipped(const QByteArray& target) {
    return target == "TARGETS" || target == "TIMESTAMP" || target == "MULTIPLE" ||
           target == "SAVE_TARGETS" || target == "image/ppm" || target == "DELETE" ||
           target == "application/x-qt-image";
}
bool IsText(const QByteArray& target) {
    return target == "UTF8_STRING" || target == "STRING" || target == "TEXT" ||
           target == "text/plain" || target == "text/plain;charset=utf-8";
}
bool IsEnhancedMetafile(const QByteArray& target) {
    return target.contains("x-openoffice-emf") || target == "image/x-emf";
}
bool IsMetafile(const QByteArray& target) {
    return target.contains("x-openoffice-wmf") || target == "image/x-wmf";
}
bool IsBitmap(const QByteArray& target) {
    return target.startsWith("image/") && !IsEnhancedMetafile(target) && !IsMetafile(target);
}
bool IsFileList(const QByteArray& target) {
    return target == "text/uri-list" || target == "x-special/gnome-copied-files";
}
bool IsDescriptor(const QByteArray& target) {
    return target.startsWith("application/x-openoffice-objectdescriptor-xml");
}
bool IsLink(const QByteArray& target) {
    return target.startsWith("application/x-openoffice-link");
}

QByteArray Parameter(const QByteArray& target, const char* name) {
    const QRegularExpression pattern(
        QStringLiteral(";\\s*%1=\"([^\"]*)\"").arg(QLatin1String(name)),
        QRegularExpression::CaseInsensitiveOption);
    return pattern.match(QString::fromUtf8(target)).captured(1).toUtf8();
}

// The office suite names the copying application by the class id of its descriptor;
// the links name it by the program identifiers the pages look for.
QByteArray OfficeClass(const QByteArray& descriptor) {
    const QByteArray id = Parameter(descriptor, "classname").toUpper();
    if (id == "8BC6B165-B1B2-4EDD-AA47-DAE2EE689DD6")
        return "Word.Document.8";
    if (id == "47BBB4CB-CE4C-4E80-A591-42D9AE74950F")
        return "Excel.Sheet.8";
    return {};
}

// Only a desktop application has a clipboard of its own (tools run a QCoreApplication).
bool IsX11Application() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr &&
           QGuiApplication::platformName() == QLatin1String("xcb");
}

QClipboard* OwnClipboard() {
    if (!IsX11Application())
        return nullptr;
    QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard->ownsClipboard() ? clipboard : nullptr;
}

QByteArray Encode(const QImage& image, const QByteArray& target) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, target.mid(6));
    if (!writer.write(image))
        return {};
    return bytes;
}

} // namespace

ClipboardBackend::ClipboardBackend() = default;
ClipboardBackend::~ClipboardBackend() = default;

void ClipboardBackend::SetWaitMs(int ms) {
    waitMs = ms;
    SelectionSlot().reset();
}

qint32 ClipboardBackend::RegisterFormat(const QString& name) {
    Registry& registry = Registered();
    if (const auto it = registry.numbers.constFind(name); it != registry.numbers.constEnd())
        return *it;
    const qint32 number = ClipboardFormat::FirstRegistered + qint32(registry.names.size());
    registry.names.append(name);
    registry.numbers.insert(name, number);
    return number;
}

QString ClipboardBackend::RegisteredName(qint32 format) {
    const Registry& registry = Registered();
    const qint64 index = qint64(format) - ClipboardFormat::FirstRegistered;
    return index >= 0 && index < registry.names.size() ? registry.names.at(qsizetype(index))
                                                       : QString();
}

ClipboardBackend::OpenResult ClipboardBackend::open() {
    m_formats.clear();
    m_entries.clear();
    m_targets.clear();
    m_files.clear();
    m_local = false;
    if (QClipboard* own = OwnClipboard()) {
        m_local = true;
        if (const QMimeData* mime = own->mimeData()) {
            for (const QString& format : mime->formats())
                m_targets.append(format.toUtf8());
            if (mime->hasImage())
                m_targets += {"image/png", "image/bmp"};
        }
    } else {
        X11Selection& selection = Selection();
        const X11Selection::Result connected = selection.connect();
        if (connected == X11Selection::Result::NoDisplay)
            return OpenResult::NoDisplay;
        if (connected != X11Selection::Result::Ok)
            return OpenResult::Failed;
        if (!selection.hasOwner())
            return OpenResult::Ok;
        if (selection.targets(m_targets) != X11Selection::Result::Ok) {
            m_targets.clear();
            return OpenResult::Failed;
        }
    }

    const auto add = [this](qint32 format, const QByteArray& target) {
        if (!m_formats.contains(format)) {
            m_formats.append(format);
            m_entries.append({format, target});
        }
    };
    QByteArray officeClass;
    for (const QByteArray& target : std::as_const(m_targets)) {
        if (IsDescriptor(target))
            officeClass = OfficeClass(target);
    }
    for (const QByteArray& target : std::as_const(m_targets)) {
        if (IsSkipped(target))
            continue;
        if (IsText(target)) {
            add(ClipboardFormat::UnicodeText, target);
            add(ClipboardFormat::Text, target);
            add(ClipboardFormat::OemText, target);
        } else if (IsEnhancedMetafile(target)) {
            add(ClipboardFormat::EnhancedMetafile, target);
        } else if (IsMetafile(target)) {
            add(ClipboardFormat::MetafilePicture, target);
        } else if (IsBitmap(target)) {
            add(ClipboardFormat::Bitmap, target);
            add(ClipboardFormat::Dib, target);
        } else if (IsFileList(target) && !m_formats.contains(ClipboardFormat::FileList)) {
            // Only a list that names local files is a file list; a copied link is not.
            std::optional<QByteArray> bytes;
            try {
                bytes = readTarget(target);
            } catch (const ClipboardUnavailable&) {
                return OpenResult::Failed;
            }
            if (bytes) {
                m_files = FilesFromUriList(*bytes);
                if (!m_files.isEmpty())
                    add(ClipboardFormat::FileList, target);
            }
        } else if (target == "text/html") {
            add(RegisterFormat(HtmlFormatName), target);
        } else if (target == "text/rtf" || target == "application/rtf") {
            add(RegisterFormat(RichTextName), target);
        } else if (IsDescriptor(target) && !officeClass.isEmpty()) {
            add(RegisterFormat(OwnerLinkName), target);
        } else if (IsLink(target) && !officeClass.isEmpty()) {
            add(RegisterFormat(ObjectLinkName), target);
        }
        add(RegisterFormat(QString::fromUtf8(target)), target);
    }
    return OpenResult::Ok;
}

QByteArray ClipboardBackend::target(qint32 format) const {
    for (const Entry& entry : m_entries) {
        if (entry.format == format)
            return entry.target;
    }
    return {};
}

std::optional<QByteArray> ClipboardBackend::readTarget(const QByteArray& target) {
    if (m_local) {
        QClipboard* own = OwnClipboard();
        const QMimeData* mime = own != nullptr ? own->mimeData() : nullptr;
        if (mime == nullptr)
            return std::nullopt;
        if (IsBitmap(target) && mime->hasImage()) {
            QByteArray bytes = Encode(mime->imageData().value<QImage>(), target);
            return bytes.isEmpty() ? std::nullopt : std::optional(bytes);
        }
        if (!mime->hasFormat(QString::fromUtf8(target)))
            return std::nullopt;
        return mime->data(QString::fromUtf8(target));
    }
    QByteArray bytes;
    switch (Selection().read(target, bytes)) {
    case X11Selection::Result::Ok:
        return bytes;
    case X11Selection::Result::Refused:
    case X11Selection::Result::TooLarge:
        return std::nullopt;
    default:
        throw ClipboardUnavailable();
    }
}

std::optional<QByteArray> ClipboardBackend::firstTarget(const QByteArrayList& candidates) {
    for (const QByteArray& candidate : candidates) {
        if (m_targets.contains(candidate))
            return readTarget(candidate);
    }
    return std::nullopt;
}

std::optional<QByteArray> ClipboardBackend::data(qint32 format) {
    if (!isAvailable(format))
        return std::nullopt;
    if (format == ClipboardFormat::Text || format == ClipboardFormat::UnicodeText ||
        format == ClipboardFormat::OemText) {
        const auto plain = text();
        return plain ? std::optional(plain->toUtf8()) : std::nullopt;
    }
    const QString name = RegisteredName(format);
    const QByteArray underlying = target(format);
    if (name == HtmlFormatName) {
        const auto html = readTarget(underlying);
        if (!html)
            return std::nullopt;
        QByteArray source;
        if (const auto chromium = firstTarget({"chromium/x-source-url"}))
            source = *chromium;
        else if (const auto mozilla = firstTarget({"text/x-moz-url-priv"}))
            source = SourceUrlFromMozUrl(*mozilla);
        return MakeHtmlFormat(*html, source);
    }
    if (name == OwnerLinkName || name == ObjectLinkName) {
        QByteArray descriptor;
        for (const QByteArray& t : std::as_const(m_targets)) {
            if (IsDescriptor(t))
                descriptor = t;
        }
        QByteArray block = OfficeClass(descriptor) + '\0';
        if (name == OwnerLinkName)
            return block + Parameter(descriptor, "displayname") + '\0' + '\0' + '\0';
        // The link names the program, then the document and the item: keep those two.
        const auto link = readTarget(underlying);
        if (!link)
            return std::nullopt;
        const qsizetype program = link->indexOf('\0');
        return block + (program < 0 ? QByteArray("\0\0\0", 3) : link->mid(program + 1));
    }
    return readTarget(underlying);
}

std::optional<QString> ClipboardBackend::text() {
    for (const char* candidate : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain"}) {
        if (const auto bytes = firstTarget({candidate}))
            return QString::fromUtf8(*bytes);
    }
    if (const auto bytes = firstTarget({"STRING", "TEXT"}))
        return QString::fromLatin1(*bytes);
    return std::nullopt;
}

std::optional<QStringList> ClipboardBackend::fileList() {
    if (!isAvailable(ClipboardFormat::FileList))
        return std::nullopt;
    return m_files;
}

QImage ClipboardBackend::image() {
    if (!isAvailable(ClipboardFormat::Bitmap))
        return {};
    if (m_local) {
        QClipboard* own = OwnClipboard();
        const QMimeData* mime = own != nullptr ? own->mimeData() : nullptr;
        if (mime != nullptr && mime->hasImage())
            return mime->imageData().value<QImage>();
    }
    QByteArrayList preferred = {"image/png", "image/bmp", "image/jpeg"};
    for (const QByteArray& t : std::as_const(m_targets)) {
        if (IsBitmap(t) && !preferred.contains(t))
            preferred.append(t);
    }
    for (const QByteArray& candidate : preferred) {
        if (!m_targets.contains(candidate))
            continue;
        if (const auto bytes = readTarget(candidate)) {
            QImage picture = QImage::fromData(*bytes);
            if (!picture.isNull())
                return picture;
        }
    }
    return {};
}

QStringList FilesFromUriList(const QByteArray& bytes) {
    QStringList files;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line == "copy" || line == "cut")
            continue;
        QByteArray path;
        if (line.startsWith("file:///"))
            path = line.mid(7);
        else if (line.startsWith("file://localhost/"))
            path = line.mid(16);
        else if (line.startsWith("file:/") && !line.startsWith("file://"))
            path = line.mid(5);
        else
            continue;
        const QByteArray decoded = QByteArray::fromPercentEncoding(path);
        if (decoded.contains('\0'))
            continue;
        files.append(QString::fromUtf8(decoded));
    }
    return files;
}
