#include "engine/pdf/IncrementalWriter.h"

#include "common/FileLock.h"
#include "common/Files.h"

#include <qpdf/QPDFXRefEntry.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

// How much of a file's end is searched for its last "startxref".
constexpr long long kTailWindow = 2048;
// The highest object number readers accept.
constexpr int kMaxObjectNumber = 8388607;

// The offset after the file's last "startxref", read from its tail; -1 when none.
long long lastStartxref(int fd, long long size, bool& endsWithNewline)
{
    const long long window = std::min(size, kTailWindow);
    std::string tail(static_cast<std::size_t>(window), '\0');
    if (pread(fd, tail.data(), tail.size(), size - window) != static_cast<ssize_t>(tail.size())) return -1;
    endsWithNewline = !tail.empty() && (tail.back() == '\n' || tail.back() == '\r');
    auto at = tail.rfind("startxref");
    if (at == std::string::npos) return -1;
    const char* p = tail.c_str() + at + 9;
    while (*p == ' ' || *p == '\r' || *p == '\n')
        ++p;
    char* end = nullptr;
    long long offset = std::strtoll(p, &end, 10);
    return end == p ? -1 : offset;
}

bool startsWith(int fd, long long offset, const char* word)
{
    char buffer[16] = {};
    const std::size_t n = std::strlen(word);
    return pread(fd, buffer, n, offset) == static_cast<ssize_t>(n) && std::memcmp(buffer, word, n) == 0;
}

void collect(OH obj, int hops, std::set<QPDFObjGen>& seen, std::vector<OH>& out)
{
    if (obj.isIndirect()) {
        if (obj.isStream() || !seen.insert(obj.getObjGen()).second) return;
        out.push_back(obj);
        if (hops-- <= 0) return;
    }
    if (obj.isArray()) {
        for (int i = 0; i < obj.getArrayNItems(); ++i)
            collect(obj.getArrayItem(i), hops, seen, out);
    } else if (obj.isDictionary()) {
        for (auto const& key : obj.getKeys())
            collect(obj.getKey(key), hops, seen, out);
    }
}

// The old objects that page work may change besides the page-tree edge.
std::vector<OH> watchedObjects(QPDF& pdf)
{
    std::vector<OH> out;
    std::set<QPDFObjGen> seen;
    OH trailer = pdf.getTrailer();
    OH root = trailer.getKey("/Root");
    collect(root, 0, seen, out);
    collect(trailer.getKey("/Info"), 0, seen, out);
    if (!root.isDictionary()) return out;
    for (auto const& key : root.getKeys()) {
        OH value = root.getKey(key);
        if (key == "/Outlines") {
            collect(value, 0, seen, out);
            if (value.isDictionary()) collect(value.getKey("/Last"), 0, seen, out);
        } else if (key == "/AcroForm" || key == "/PageLabels") {
            collect(value, 2, seen, out);
        } else {
            collect(value, 0, seen, out);
        }
    }
    return out;
}

std::string serialize(OH obj)
{
    if (!obj.isStream()) return obj.unparseResolved();
    auto buffer = obj.getRawStreamData();
    std::string data(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    OH dict = obj.getDict().shallowCopy();
    dict.replaceKey("/Length", OH::newInteger(static_cast<long long>(data.size())));
    return dict.unparse() + "\nstream\n" + data + "\nendstream";
}

std::string xrefLine(long long offset, int gen)
{
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05d n \n", offset, gen);
    return line;
}

// Copies the first size bytes of from into to, in the kernel where it can.
bool copyPrefix(int from, int to, long long size)
{
    loff_t in = 0;
    while (in < size) {
        ssize_t n = copy_file_range(from, &in, to, nullptr, static_cast<std::size_t>(size - in), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) continue;
        if (n == 0) return false; // the file is shorter than it was
        // No kernel copy between these files: read and write.
        std::string buffer(1 << 16, '\0');
        while (in < size) {
            ssize_t got = pread(from, buffer.data(),
                                static_cast<std::size_t>(std::min<long long>(size - in, 1 << 16)), in);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            if (!writeAll(to, buffer.data(), static_cast<std::size_t>(got))) return false;
            in += got;
        }
    }
    return true;
}

} // namespace

std::unique_ptr<IncrementalWriter> IncrementalWriter::forFile(QPDF& pdf, const std::string& path)
{
    if (pdf.isEncrypted() || pdf.isLinearized()) return nullptr;
    if (pdf.getTrailer().hasKey("/XRefStm")) return nullptr;
    int maxId = 0;
    for (auto const& [og, entry] : pdf.getXRefTable()) {
        if (entry.getType() == 2) return nullptr;
        maxId = std::max(maxId, og.getObj());
    }
    // An update numbers its objects after the file's highest. Past the limit
    // readers accept they would not read it back, and near INT_MAX the
    // numbers would overflow: a full write renumbers instead.
    if (maxId > kMaxObjectNumber || pdf.getObjectCount() > kMaxObjectNumber) return nullptr;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    std::unique_ptr<IncrementalWriter> writer(new IncrementalWriter);
    bool usable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (usable) {
        writer->baseSize_ = st.st_size;
        writer->lastXref_ = lastStartxref(fd, st.st_size, writer->endsWithNewline_);
        usable = writer->lastXref_ > 0 && writer->lastXref_ < st.st_size &&
                 startsWith(fd, writer->lastXref_, "xref");
    }
    close(fd);
    if (!usable) return nullptr;
    writer->maxId_ = std::max(maxId, static_cast<int>(pdf.getObjectCount()));
    writer->snapshot(pdf);
    return writer;
}

void IncrementalWriter::snapshot(QPDF& pdf)
{
    watched_.clear();
    for (OH obj : watchedObjects(pdf))
        watched_[obj.getObjGen()] = obj.unparseResolved();
}

std::string IncrementalWriter::updateFor(QPDF& pdf, const std::vector<OH>& touched, int& maxId,
                                         long long& xrefOffset) const
{
    std::map<int, OH> objects; // by number, so the sections come out in order
    maxId = std::max(maxId_, static_cast<int>(pdf.getObjectCount()));
    for (int id = maxId_ + 1; id <= maxId; ++id)
        objects[id] = pdf.getObjectByID(id, 0);
    for (OH obj : touched)
        if (obj.isIndirect() && obj.getObjectID() <= maxId_) objects[obj.getObjectID()] = obj;
    // The objects watched when the file was written (the outline's last
    // item then, not now), and whatever the catalog refers to now.
    for (auto const& [og, before] : watched_) {
        if (objects.count(og.getObj())) continue;
        OH obj = pdf.getObject(og);
        if (obj.unparseResolved() != before) objects[og.getObj()] = obj;
    }
    for (OH obj : watchedObjects(pdf)) {
        if (obj.getObjectID() > maxId_ || objects.count(obj.getObjectID())) continue;
        if (!watched_.count(obj.getObjGen())) objects[obj.getObjectID()] = obj;
    }

    std::string out = endsWithNewline_ ? "" : "\n";
    std::map<int, std::pair<long long, int>> offsets;
    for (auto& [id, obj] : objects) {
        const int gen = id > maxId_ ? 0 : obj.getGeneration();
        offsets[id] = {baseSize_ + static_cast<long long>(out.size()), gen};
        out += std::to_string(id) + " " + std::to_string(gen) + " obj\n" + serialize(obj) + "\nendobj\n";
    }
    xrefOffset = baseSize_ + static_cast<long long>(out.size());
    out += "xref\n";
    for (auto it = offsets.begin(); it != offsets.end();) {
        auto run = it;
        int count = 0;
        while (run != offsets.end() && run->first == it->first + count) {
            ++run;
            ++count;
        }
        out += std::to_string(it->first) + " " + std::to_string(count) + "\n";
        for (; it != run; ++it)
            out += xrefLine(it->second.first, it->second.second);
    }

    OH old = pdf.getTrailer();
    OH trailer = OH::newDictionary();
    long long size = maxId + 1;
    if (old.getKey("/Size").isInteger()) size = std::max(size, old.getKey("/Size").getIntValue());
    trailer.replaceKey("/Size", OH::newInteger(size));
    trailer.replaceKey("/Root", old.getKey("/Root"));
    if (old.getKey("/Info").isIndirect()) trailer.replaceKey("/Info", old.getKey("/Info"));
    OH id = old.getKey("/ID");
    if (id.isArray() && id.getArrayNItems() == 2 && id.getArrayItem(0).isString()) {
        // The first half names the document, the second this version of it.
        std::string fresh(16, '\0');
        QUtil::initializeWithRandomBytes(reinterpret_cast<unsigned char*>(fresh.data()), fresh.size());
        // High bytes only, so it is always written in hex: a literal string's
        // length would vary with the bytes, and with it the size of every
        // update, which then differs between two runs of the same job.
        for (char& c : fresh)
            c = static_cast<char>(static_cast<unsigned char>(c) | 0x80);
        trailer.replaceKey("/ID", OH::newArray({id.getArrayItem(0), OH::newString(fresh)}));
    }
    trailer.replaceKey("/Prev", OH::newInteger(lastXref_));
    out += "trailer\n" + trailer.unparse() + "\nstartxref\n" + std::to_string(xrefOffset) + "\n%%EOF\n";
    return out;
}

IncrementalWriter::~IncrementalWriter()
{
    dropShadow();
}

bool IncrementalWriter::save(QPDF& pdf, const std::string& path, const std::vector<OH>& touched,
                             std::string* why)
{
    std::string reason;
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    int maxId = 0;
    long long xrefOffset = 0;
    std::string update;
    try {
        update = updateFor(pdf, touched, maxId, xrefOffset);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    // A link stays a link: the update goes to the file it points at.
    const std::string target = replacementTarget(path);
    if (target.empty()) return fail(reasonText(errno));
    int base = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (base < 0) return fail(reasonText(errno));
    struct stat st {};
    bool ok = fstat(base, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == baseSize_;
    if (!ok) reason = "the file changed since it was read";
    if (ok) {
        const mode_t mode = st.st_mode & 07777;
        ok = saveThroughShadow(target, update, mode, reason) || saveThroughCopy(base, target, update, reason);
    }
    close(base);
    if (!ok) return fail(reason);
    baseSize_ += static_cast<long long>(update.size());
    lastXref_ = xrefOffset;
    maxId_ = maxId;
    endsWithNewline_ = true;
    ++saves_;
    snapshot(pdf);
    return true;
}

bool IncrementalWriter::saveThroughShadow(const std::string& path, const std::string& update, mode_t mode,
                                          std::string& why)
{
    if (shadow_.fd < 0) return false;
    // Still ours, as long as we left it, and one update behind the output.
    struct stat held {};
    struct stat named {};
    if (fstat(shadow_.fd, &held) != 0 || held.st_size != shadow_.size || held.st_nlink != 1 ||
        lstat(shadow_.path.c_str(), &named) != 0 || !sameInode(held, named) ||
        shadow_.size + static_cast<long long>(shadow_.missing.size()) != baseSize_) {
        dropShadow();
        return false;
    }
    const std::string bytes = shadow_.missing + update;
    if (!pwriteAll(shadow_.fd, bytes.data(), bytes.size(), static_cast<off_t>(shadow_.size)) ||
        fchmod(shadow_.fd, mode) != 0) {
        why = reasonText(errno);
        dropShadow();
        return false;
    }
    // From here on a new version like any other; checked as ours just above.
    TempFileBeside written;
    written.adopt(shadow_.fd, shadow_.path, path);
    shadow_ = Shadow();
    const std::string next = linkBeside(path);
    if (!written.place()) {
        why = reasonText(errno);
        if (!next.empty()) unlink(next.c_str());
        return false;
    }
    if (!next.empty()) keepAsShadow(next, update);
    return true;
}

bool IncrementalWriter::saveThroughCopy(int base, const std::string& path, const std::string& update,
                                        std::string& why)
{
    dropShadow();
    // The version about to be replaced lives on as the next save's shadow.
    const std::string next = linkBeside(path);
    auto fill = [&](int fd) {
        return copyPrefix(base, fd, baseSize_) && writeAll(fd, update.data(), update.size());
    };
    if (!replaceFile(path, fill, &why)) {
        if (!next.empty()) unlink(next.c_str());
        return false;
    }
    if (!next.empty()) keepAsShadow(next, update);
    return true;
}

void IncrementalWriter::keepAsShadow(const std::string& name, const std::string& missing)
{
    shadow_.fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (shadow_.fd < 0) {
        unlink(name.c_str());
        shadow_ = Shadow();
        return;
    }
    shadow_.path = name;
    shadow_.size = baseSize_;
    shadow_.missing = missing;
}

void IncrementalWriter::dropShadow()
{
    if (shadow_.fd < 0) return;
    struct stat held {};
    struct stat named {};
    // Only the file we hold goes, never whatever else took its name.
    if (fstat(shadow_.fd, &held) == 0 && lstat(shadow_.path.c_str(), &named) == 0 && sameInode(held, named))
        unlink(shadow_.path.c_str());
    close(shadow_.fd);
    shadow_ = Shadow();
}

} // namespace fb::pdf
