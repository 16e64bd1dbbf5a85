// ScanFileReader: the export's structure over a JsonCursor. One loop handles every entry of every
// directory, with a stack of open directories (a null entry for a directory left out, whose
// entries are still checked but not kept). The listener calls follow FileSizeMapper::walk.
#include "scanfile/ScanFileReader.h"

#include "scan/NodePool.h"
#include "scan/ScanListener.h"
#include "scan/TreeFolding.h"
#include "scanfile/JsonCursor.h"

#include <cstring>
#include <vector>

using orvex::UniquePtr;

// The keys of an info object the tree needs; the others are skipped.
struct ScanFileReader::Info {
    std::string name;
    uint64_t nameOffset = 0;   // where the name's value starts, for errors about it
    uint64_t objectOffset = 0; // where the object starts
    bool hasName = false;
    uint64_t size = 0;         // "asize"
    bool notRegular = false;   // "notreg": true
    bool excluded = false;     // "excluded": any reason
    bool readError = false;    // "read_error": true
};

class ScanFileReader::Parser {
public:
    Parser(ScanFileReader& reader, ByteSource& source) : reader(reader), json(source) {}

    UniquePtr<FilesystemNode> run();

private:
    bool header();
    bool metadataObject();
    bool infoObject(Info& info);
    bool afterMember(bool& closed, const char* expected);
    bool checkName(const Info& info, bool isRoot);
    bool finishFile();
    bool singleFile(UniquePtr<FilesystemNode>& tree);
    bool directoryTree(UniquePtr<FilesystemNode>& tree);
    bool entry(std::vector<FilesystemNode*>& stack);
    UniquePtr<FilesystemNode> makeNode(FilesystemNode::Type type, const Info& info, FilesystemNode* parent);
    uint64_t add(uint64_t total, uint64_t size);
    void noteReadError(const FilesystemNode* node);

    ScanFileReader& reader;
    JsonCursor json;
    const FilesystemNode* rootNode = nullptr; // the tree's root, whatever parent a listener gives it
    uint64_t seen = 0; // the bytes of the files read so far
    std::string key;
    Info info;
};

namespace {
constexpr uint64_t entriesBetweenCancelChecks = 4096;
// Keys are kept only this long (plus one byte, so a longer key never equals a known one).
constexpr size_t longestKey = sizeof "read_error" - 1;
}

ScanFileReader::ScanFileReader(ScanListener* listener, std::function<bool()> cancelled)
    : listener(listener)
    , cancelled(std::move(cancelled))
{
}

UniquePtr<FilesystemNode> ScanFileReader::read(ByteSource& source)
{
    partialTree.reset();
    failureText.clear();
    cancelledRead = false;
    meta = {};
    root.clear();
    scanProblems = {};
    // Like a scan, the tree gets chunks of its own, so destroying it gives all its memory back.
    NodePool::retireThreadChunk();
    UniquePtr<FilesystemNode> tree = Parser(*this, source).run();
    NodePool::retireThreadChunk();
    return tree;
}

uint64_t ScanFileReader::Parser::add(uint64_t total, uint64_t size)
{
    uint64_t sum = saturatingAdd(total, size);
    if (sum == saturatedSize && total + size != saturatedSize)
        reader.scanProblems.saturated = true;
    return sum;
}

// An entry marked "read_error": a directory whose listing is missing or incomplete, or a file
// whose size could not be read. Counted as a scan counts them; the export tells no errno value.
void ScanFileReader::Parser::noteReadError(const FilesystemNode* node)
{
    ScanProblems& problems = reader.scanProblems;
    if (problems.unlistedNodes.empty())
        problems.firstUnlistedPath = nodePath(node);
    problems.unlistedNodes.push_back(node);
    if (reader.folding)
        reader.folding->keep(node);
    if (node->type == FilesystemNode::Type::FILE) {
        problems.unreadableFiles += 1;
        return;
    }
    problems.unlistedDirectories += 1;
    if (node == rootNode)
        problems.rootUnlisted = true;
}

UniquePtr<FilesystemNode> ScanFileReader::Parser::makeNode(FilesystemNode::Type type, const Info& entry, FilesystemNode* parent)
{
    UniquePtr<FilesystemNode> node(new FilesystemNode);
    node->type = type;
    node->setName(entry.name);
    node->parent = parent;
    node->size = type == FilesystemNode::Type::FILE ? entry.size : 0;
    if (reader.folding)
        reader.folding->nodeMade();
    return node;
}

// `[1, MINOR, {metadata},` up to the root.
bool ScanFileReader::Parser::header()
{
    int c = json.skipSpace();
    if (c != '[')
        return c == JsonCursor::END ? json.failAtEnd() : json.fail(json.offset(), "not a scan export: it does not start with '['");
    json.next();
    c = json.skipSpace();
    if (c < '0' || c > '9')
        return json.fail(json.offset(), "not a scan export: no major version after '['");
    const uint64_t versionAt = json.offset();
    uint64_t major = 0, minor = 0;
    if (!json.readUnsigned(major, "the major version"))
        return false;
    if (major != 1)
        return json.fail(versionAt, "unsupported major version " + std::to_string(major) + " (only 1 is read)");
    return json.expect(',', "',' after the major version") && json.readUnsigned(minor, "the minor version")
        && json.expect(',', "',' after the minor version") && metadataObject()
        && json.expect(',', "',' before the root directory");
}

bool ScanFileReader::Parser::metadataObject()
{
    if (!json.expect('{', "the metadata object"))
        return false;
    if (json.skipSpace() == '}')
        return json.next() == '}';
    ScanFileMetadata& meta = reader.meta;
    while (true) {
        if (!json.readString(key, longestKey + 1) || !json.expect(':', "':' after an object key"))
            return false;
        bool ok = true;
        if (key == "progname")
            ok = json.readString(meta.programName);
        else if (key == "progver")
            ok = json.readString(meta.programVersion);
        else if (key == "timestamp")
            ok = meta.hasTimestamp = json.readUnsigned(meta.timestamp, "the timestamp");
        else
            ok = json.skipValue();
        bool closed = false;
        if (!ok || !afterMember(closed, "',' or '}' in the metadata object"))
            return false;
        if (closed)
            return true;
    }
}

// After an object member's value: a ',' before the next member, or the '}' that closes the object
// (`closed`); false, with `expected` in the failure, for anything else.
bool ScanFileReader::Parser::afterMember(bool& closed, const char* expected)
{
    const int c = json.skipSpace();
    closed = c == '}';
    if (c != '}' && c != ',')
        return json.expect(',', expected);
    json.next();
    return true;
}

bool ScanFileReader::Parser::infoObject(Info& entry)
{
    entry.objectOffset = json.offset();
    entry.hasName = entry.notRegular = entry.excluded = entry.readError = false;
    entry.size = 0;
    if (!json.expect('{', "an info object"))
        return false;
    if (json.skipSpace() == '}') {
        json.next();
        return true;
    }
    while (true) {
        if (!json.readString(key, longestKey + 1) || !json.expect(':', "':' after an object key"))
            return false;
        bool ok = true;
        uint64_t ignored = 0;
        if (key == "name") {
            json.skipSpace();
            entry.nameOffset = json.offset();
            entry.hasName = ok = json.readString(entry.name);
        } else if (key == "asize") {
            ok = json.readUnsigned(entry.size, "asize");
        } else if (key == "dsize") {
            ok = json.readUnsigned(ignored, "dsize");
        } else if (key == "notreg") {
            ok = json.readBoolean(entry.notRegular, "notreg");
        } else if (key == "read_error") {
            ok = json.readBoolean(entry.readError, "read_error");
        } else if (key == "excluded") {
            // The reason ("pattern", "otherfs", ...) does not matter; false or null means none.
            int c = json.skipSpace();
            entry.excluded = c == '"' || c == 't';
            ok = json.skipValue();
        } else {
            ok = json.skipValue();
        }
        bool closed = false;
        if (!ok || !afterMember(closed, "',' or '}' in an info object"))
            return false;
        if (closed)
            return true;
    }
}

bool ScanFileReader::Parser::checkName(const Info& entry, bool isRoot)
{
    if (!entry.hasName)
        return json.fail(entry.objectOffset, "an entry has no name");
    const std::string& name = entry.name;
    if (name.empty())
        return json.fail(entry.nameOffset, "an entry has an empty name");
    if (name.size() > FilesystemNode::longestName)
        return json.fail(entry.nameOffset, "a name is longer than a node can hold (4 GiB)");
    if (std::memchr(name.data(), '\0', name.size()))
        return json.fail(entry.nameOffset, "a name contains a NUL byte");
    if (isRoot)
        return true;
    if (std::memchr(name.data(), '/', name.size()))
        return json.fail(entry.nameOffset, "a name contains '/'");
    if (name == "." || name == "..")
        return json.fail(entry.nameOffset, "a name is '" + name + "'");
    return true;
}

// After the root: further top-level elements (a later minor version may add some) are skipped,
// then the closing ']' and nothing but white space.
bool ScanFileReader::Parser::finishFile()
{
    while (json.skipSpace() == ',') {
        json.next();
        if (!json.skipValue())
            return false;
    }
    if (!json.expect(']', "']' after the root directory"))
        return false;
    if (json.skipSpace() != JsonCursor::END)
        return json.fail(json.offset(), "trailing data after the export's closing ']'");
    return !json.failed();
}

UniquePtr<FilesystemNode> ScanFileReader::Parser::run()
{
    UniquePtr<FilesystemNode> tree;
    bool ok = header();
    int c = ok ? json.skipSpace() : JsonCursor::END;
    if (ok && c == '{')
        ok = singleFile(tree);
    else if (ok && c == '[')
        ok = directoryTree(tree);
    else if (ok)
        ok = c == JsonCursor::END ? json.failAtEnd() : json.fail(json.offset(), "expected the root directory's array");
    if (!ok) {
        reader.failureText = json.error();
        reader.partialTree = std::move(tree);
    }
    return tree;
}

// The export of a scan of one file: its info object stands where the root directory would.
bool ScanFileReader::Parser::singleFile(UniquePtr<FilesystemNode>& tree)
{
    if (!(infoObject(info) && checkName(info, true) && finishFile()))
        return false;
    reader.root = info.name;
    tree = makeNode(FilesystemNode::Type::FILE, info, nullptr);
    if (info.readError)
        noteReadError(tree.get());
    if (reader.listener)
        reader.listener->scanStarted(info.name.data(), info.name.size());
    return true;
}

bool ScanFileReader::Parser::directoryTree(UniquePtr<FilesystemNode>& tree)
{
    ScanListener* listener = reader.listener;
    json.next();
    if (!(infoObject(info) && checkName(info, true)))
        return false;
    reader.root = info.name;
    tree = makeNode(FilesystemNode::Type::DIRECTORY, info, nullptr);
    rootNode = tree.get();
    if (reader.folding)
        reader.folding->folderOpened(tree.get());
    if (listener) {
        listener->scanStarted(info.name.data(), info.name.size());
        listener->directoryEntered(tree.get());
    }
    if (info.readError)
        noteReadError(tree.get());
    // The open directories, innermost last; null for one that is left out.
    std::vector<FilesystemNode*> stack { tree.get() };
    uint64_t entries = 0;
    while (!stack.empty()) {
        int c = json.skipSpace();
        if (c == ']') {
            json.next();
            FilesystemNode* directory = stack.back();
            stack.pop_back();
            // The root is left only once the whole file has proved valid, below.
            if (!stack.empty() && directory && stack.back()) {
                if (listener)
                    listener->directoryLeft(directory);
                stack.back()->size = add(stack.back()->size, directory->size);
                if (reader.folding)
                    reader.folding->folderClosed(directory, seen);
            }
            continue;
        }
        if (c != ',')
            return c == JsonCursor::END ? json.failAtEnd() : json.fail(json.offset(), "expected ',' or ']' in a directory");
        json.next();
        if (++entries % entriesBetweenCancelChecks == 0 && reader.cancelled && reader.cancelled()) {
            reader.cancelledRead = true;
            reader.partialTree = std::move(tree);
            return true;
        }
        if (!entry(stack))
            return false;
    }
    if (!finishFile())
        return false;
    if (listener)
        listener->directoryLeft(tree.get());
    if (reader.folding)
        reader.folding->folderClosed(tree.get(), seen);
    return true;
}

// One entry of the innermost open directory: a file's object or a subdirectory's array, of
// which only the info object is read here.
bool ScanFileReader::Parser::entry(std::vector<FilesystemNode*>& stack)
{
    ScanListener* listener = reader.listener;
    FilesystemNode* parent = stack.back();
    int c = json.skipSpace();
    if (c == '{') {
        if (!(infoObject(info) && checkName(info, false)))
            return false;
        if (!parent || info.notRegular || info.excluded)
            return true;
        UniquePtr<FilesystemNode> file = makeNode(FilesystemNode::Type::FILE, info, parent);
        parent->size = add(parent->size, file->size);
        seen = saturatingAdd(seen, file->size);
        if (info.readError)
            noteReadError(file.get());
        if (listener)
            listener->fileAdded(file.get());
        parent->appendChild(std::move(file));
        return true;
    }
    if (c != '[')
        return c == JsonCursor::END ? json.failAtEnd() : json.fail(json.offset(), "expected a file's object or a directory's array");
    json.next();
    if (!(infoObject(info) && checkName(info, false)))
        return false;
    if (!parent || info.notRegular || info.excluded) {
        stack.push_back(nullptr);
        return true;
    }
    UniquePtr<FilesystemNode> node = makeNode(FilesystemNode::Type::DIRECTORY, info, parent);
    FilesystemNode* directory = node.get();
    parent->appendChild(std::move(node));
    if (reader.folding)
        reader.folding->folderOpened(directory);
    if (listener)
        listener->directoryEntered(directory);
    if (info.readError)
        noteReadError(directory);
    stack.push_back(directory);
    return true;
}
