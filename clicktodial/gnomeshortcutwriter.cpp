#include "gnomeshortcutwriter.h"

#include "log.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <optional>
#include <utility>

const QString GnomeShortcutWriter::listSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString GnomeShortcutWriter::entrySchema =
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
const QString GnomeShortcutWriter::entryPathBase =
    QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");

namespace {
const QString logTag = QStringLiteral("cti");
const QString toolName = QStringLiteral("gsettings");
const QString listKey = QStringLiteral("custom-keybindings");
namespace EntryKeys {
const QString name = QStringLiteral("name");
const QString command = QStringLiteral("command");
const QString binding = QStringLiteral("binding");
} // namespace EntryKeys
// The longest answer expected (a list of keys, a few paths) is far below this; more is not the tool.
constexpr int outputLimit = 1 << 20;

struct ToolRun {
    QString output;
    QString error; //!< empty when the tool ran and succeeded
};

ToolRun runTool(const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // gsettings prints through g_print, which turns all beyond ASCII into '?' in a non-UTF-8 locale.
    environment.insert(QStringLiteral("CHARSET"), QStringLiteral("UTF-8"));
    tool.setProcessEnvironment(environment);
    tool.setStandardInputFile(QProcess::nullDevice());
    QByteArray output, errorOutput;
    bool flooded = false;
    const auto collect = [&] {
        output += tool.readAllStandardOutput();
        errorOutput += tool.readAllStandardError();
        if (output.size() + errorOutput.size() > outputLimit && !flooded) {
            flooded = true;
            tool.kill();
        }
    };
    QObject::connect(&tool, &QProcess::readyReadStandardOutput, &tool, collect);
    QObject::connect(&tool, &QProcess::readyReadStandardError, &tool, collect);

    const QString what = toolName + QLatin1Char(' ') + arguments.value(0);
    const QDeadlineTimer deadline(GnomeShortcutWriter::toolTimeoutMs);
    tool.start(toolName, arguments);
    if (!tool.waitForStarted(int(deadline.remainingTime())))
        return {{}, QStringLiteral("the gsettings tool is not installed")};
    if (!tool.waitForFinished(int(deadline.remainingTime()))) {
        tool.kill();
        tool.waitForFinished(1000);
        return {{}, what + QStringLiteral(" did not finish in time")};
    }
    collect();
    if (flooded)
        return {{}, what + QStringLiteral(" printed far more than expected")};
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        const QString message = QString::fromUtf8(errorOutput).trimmed().section(QLatin1Char('\n'), 0, 0);
        return {{}, what + QStringLiteral(" failed") + (message.isEmpty() ? QString() : QStringLiteral(": ") + message)};
    }
    return {QString::fromUtf8(output), {}};
}

QString relocated(const QString &path) { return GnomeShortcutWriter::entrySchema + QLatin1Char(':') + path; }

// The GVariant text of a string, in ASCII only: then no locale can alter the tool's argument.
// Empty when the text cannot be a GVariant string (it holds a NUL).
QString variantText(const QString &text)
{
    QString result = QStringLiteral("'");
    for (int i = 0; i < text.size(); ++i) {
        uint c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            c = QChar::surrogateToUcs4(ushort(c), text.at(++i).unicode());
        else if (QChar::isSurrogate(c))
            c = QChar::ReplacementCharacter;
        if (c == 0)
            return {};
        if (c == '\'' || c == '\\')
            result += QLatin1Char('\\') + QChar(c);
        else if (c >= 0x20 && c < 0x7f)
            result += QChar(c);
        else if (c < 0x10000)
            result += QStringLiteral("\\u") + QString::number(c, 16).rightJustified(4, QLatin1Char('0'));
        else
            result += QStringLiteral("\\U") + QString::number(c, 16).rightJustified(8, QLatin1Char('0'));
    }
    return result + QLatin1Char('\'');
}

// Reads GVariant text as g_variant_print writes it, and nothing else: what it cannot read
// fully is an error, never a guess.
class VariantReader
{
public:
    explicit VariantReader(const QString &text) : m_text(text) {}

    std::optional<QString> string()
    {
        skipSpaces();
        if (m_pos >= m_text.size() || (m_text.at(m_pos) != QLatin1Char('\'') && m_text.at(m_pos) != QLatin1Char('"')))
            return {};
        const QChar quote = m_text.at(m_pos++);
        QString result;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos++);
            if (c == quote)
                return result;
            if (c != QLatin1Char('\\')) {
                result += c;
                continue;
            }
            if (m_pos >= m_text.size())
                return {};
            const QChar escaped = m_text.at(m_pos++);
            const int digits = escaped == QLatin1Char('u') ? 4 : escaped == QLatin1Char('U') ? 8 : 0;
            if (digits == 0) {
                result += controlOf(escaped);
                continue;
            }
            uint code = 0; // fewer digits before the end leave the string unterminated
            for (const QChar digit : m_text.midRef(m_pos, digits)) {
                const int value = hexValue(digit.unicode());
                if (value < 0)
                    return {};
                code = code * 16 + uint(value);
            }
            if (code == 0) // GVariant strings hold no NUL; a path cut short there is another path
                return {};
            m_pos += digits;
            const char32_t codePoint = code;
            result += QString::fromUcs4(&codePoint, 1);
        }
        return {};
    }

    std::optional<QStringList> stringList()
    {
        skipSpaces();
        if (m_text.midRef(m_pos).startsWith(QLatin1String("@as ")))
            m_pos += 4;
        if (!take(QLatin1Char('[')))
            return {};
        QStringList result;
        if (take(QLatin1Char(']')))
            return result;
        do {
            const std::optional<QString> item = string();
            if (!item)
                return {};
            result += *item;
        } while (take(QLatin1Char(',')));
        if (!take(QLatin1Char(']')))
            return {};
        return result;
    }

    bool atEnd()
    {
        skipSpaces();
        return m_pos == m_text.size();
    }

private:
    // An escaped character other than \u and \U: a C control escape, else the character itself.
    static QChar controlOf(QChar escaped)
    {
        switch (escaped.unicode()) {
        case 'a': return QLatin1Char('\a');
        case 'b': return QLatin1Char('\b');
        case 'f': return QLatin1Char('\f');
        case 'n': return QLatin1Char('\n');
        case 'r': return QLatin1Char('\r');
        case 't': return QLatin1Char('\t');
        case 'v': return QLatin1Char('\v');
        default: return escaped;
        }
    }
    static int hexValue(ushort c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
    void skipSpaces()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool take(QChar c)
    {
        skipSpaces();
        if (m_pos >= m_text.size() || m_text.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }

    const QString m_text;
    int m_pos = 0;
};

QString readString(const QString &schema, const QString &key, QString &value)
{
    const ToolRun run = runTool({QStringLiteral("get"), schema, key});
    if (!run.error.isEmpty())
        return run.error;
    VariantReader reader(run.output);
    const std::optional<QString> read = reader.string();
    if (!read || !reader.atEnd())
        return QStringLiteral("gsettings printed an unreadable value for ") + key;
    value = *read;
    return {};
}

QString readPaths(QStringList &paths)
{
    const ToolRun run = runTool({QStringLiteral("get"), GnomeShortcutWriter::listSchema, listKey});
    if (!run.error.isEmpty())
        return run.error;
    VariantReader reader(run.output);
    const std::optional<QStringList> read = reader.stringList();
    if (!read || !reader.atEnd())
        return QStringLiteral("gsettings printed an unreadable list of custom shortcuts");
    paths = *read;
    return {};
}

// The path of the first listed entry that runs the command; empty when none does.
QString findEntry(const QStringList &paths, const QString &command, QString &found)
{
    for (const QString &path : paths) {
        QString entryCommand;
        if (const QString error = readString(relocated(path), EntryKeys::command, entryCommand); !error.isEmpty())
            return error;
        if (entryCommand == command) {
            found = path;
            return {};
        }
    }
    found.clear();
    return {};
}

QString writeString(const QString &path, const QString &key, const QString &value)
{
    return runTool({QStringLiteral("set"), relocated(path), key, variantText(value)}).error;
}

QString availabilityProblem()
{
    const ToolRun list = runTool({QStringLiteral("list-keys"), GnomeShortcutWriter::listSchema});
    if (!list.error.isEmpty())
        return list.error;
    const ToolRun entry = runTool({QStringLiteral("list-keys"), GnomeShortcutWriter::entrySchema});
    if (!entry.error.isEmpty())
        return entry.error;
    const QStringList listKeys = list.output.split(QLatin1Char('\n'));
    const QStringList entryKeys = entry.output.split(QLatin1Char('\n'));
    if (!listKeys.contains(listKey) || !entryKeys.contains(EntryKeys::name)
        || !entryKeys.contains(EntryKeys::command) || !entryKeys.contains(EntryKeys::binding))
        return QStringLiteral("GNOME's settings of custom shortcuts lack a key this program writes");
    return {};
}

QString addEntry(const QString &name, const QString &command, const QString &binding)
{
    if (command.trimmed().isEmpty() || binding.isEmpty())
        return QStringLiteral("a shortcut needs a command and a key");
    if (variantText(name).isEmpty() || variantText(command).isEmpty())
        return QStringLiteral("the name or command holds a NUL character");
    if (const QString problem = availabilityProblem(); !problem.isEmpty())
        return problem;

    QStringList paths;
    QString path;
    if (const QString error = readPaths(paths); !error.isEmpty())
        return error;
    if (const QString error = findEntry(paths, command, path); !error.isEmpty())
        return error;
    const bool isNew = path.isEmpty();
    for (int n = 0; path.isEmpty(); ++n) {
        const QString candidate = GnomeShortcutWriter::entryPathBase + QStringLiteral("custom") + QString::number(n) + QLatin1Char('/');
        if (!paths.contains(candidate))
            path = candidate;
    }
    // The entry is complete before the list names it: GNOME never runs half an entry.
    const std::pair<QString, QString> values[] = {
        {EntryKeys::name, name}, {EntryKeys::command, command}, {EntryKeys::binding, binding}};
    for (const auto &[key, value] : values) {
        if (const QString error = writeString(path, key, value); !error.isEmpty())
            return error;
    }
    if (isNew) {
        QStringList items;
        for (const QString &listed : paths + QStringList{path})
            items += variantText(listed);
        const QString list = QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
        if (const QString error = runTool({QStringLiteral("set"), GnomeShortcutWriter::listSchema, listKey, list}).error;
            !error.isEmpty())
            return error;
    }
    // gsettings reports success even when the settings service dropped the change (no session bus).
    if (GnomeShortcutWriter::bindingOf(command) != binding)
        return QStringLiteral("GNOME's settings did not keep the shortcut");
    return {};
}
} // namespace

bool GnomeShortcutWriter::isAvailable()
{
    const QString problem = availabilityProblem();
    if (!problem.isEmpty())
        Log::d(QStringLiteral("no GNOME custom shortcuts: ") + problem, logTag);
    return problem.isEmpty();
}

QString GnomeShortcutWriter::bindingOf(const QString &command)
{
    QStringList paths;
    QString path, binding;
    QString error = readPaths(paths);
    if (error.isEmpty())
        error = findEntry(paths, command, path);
    if (error.isEmpty() && !path.isEmpty())
        error = readString(relocated(path), EntryKeys::binding, binding);
    if (!error.isEmpty()) {
        Log::w(QStringLiteral("cannot read GNOME's custom shortcuts: ") + error, logTag);
        return {};
    }
    return binding;
}

QString GnomeShortcutWriter::add(const QString &name, const QString &command, const QString &binding)
{
    const QString error = addEntry(name, command, binding);
    if (error.isEmpty())
        Log::d(QStringLiteral("GNOME runs \"") + command + QStringLiteral("\" on ") + binding, logTag);
    else
        Log::w(QStringLiteral("cannot add a GNOME shortcut: ") + error, logTag);
    return error;
}
