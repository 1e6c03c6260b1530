#include "ui/VersionInfo.h"

#include <QFile>

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The block's layout is described in cmake/VersionBlock.cmake, which writes it.

namespace quarrow {
namespace {

constexpr std::string_view kSectionName{".quarrow_version", sizeof(".quarrow_version")}; // with its NUL

// Real executables hold a few dozen section headers, a few hundred bytes of
// section names and a block of a few hundred bytes; the limits keep a hostile
// file from making the reader allocate its own size.
constexpr std::uint64_t kMaxTableBytes = 16u << 20;
constexpr std::uint64_t kMaxBlockBytes = 1u << 20;

// The errors a file can fail with beyond the system's own: ENOEXEC when it is
// no readable ELF file, ENODATA when it is one without a usable version block.
[[noreturn]] void fail(int error, const QString& path)
{
    throw std::system_error(error, std::generic_category(),
                            "Cannot read the version information of \"" + path.toStdString() + '"');
}

class ReadOnlyFile final {
public:
    explicit ReadOnlyFile(const QString& path)
        : m_path(path), m_descriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        if (m_descriptor.fd < 0)
            fail(errno, path);
        struct stat info {};
        if (::fstat(m_descriptor.fd, &info) != 0)
            fail(errno, path);
        if (!S_ISREG(info.st_mode)) // O_NONBLOCK above keeps a named pipe from hanging the open
            fail(S_ISDIR(info.st_mode) ? EISDIR : ENOEXEC, path);
        m_size = static_cast<std::uint64_t>(info.st_size);
    }

    bool holds(std::uint64_t offset, std::uint64_t size) const { return offset <= m_size && size <= m_size - offset; }

    // Reads exactly `size` bytes at `offset`, failing with `outside` when the
    // file does not hold them.
    std::vector<unsigned char> read(std::uint64_t offset, std::uint64_t size, int outside) const
    {
        if (!holds(offset, size))
            fail(outside, m_path);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got =
                ::pread(m_descriptor.fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                fail(errno, m_path);
            if (got == 0) // shrunk since it was measured
                fail(outside, m_path);
            done += static_cast<std::size_t>(got);
        }
        return bytes;
    }

private:
    // Closes the file also when the constructor fails after opening it.
    struct Descriptor {
        explicit Descriptor(int descriptor) : fd(descriptor) {}
        ~Descriptor()
        {
            if (fd >= 0)
                ::close(fd);
        }
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;

        int fd;
    };

    const QString& m_path;
    Descriptor m_descriptor;
    std::uint64_t m_size = 0;
};

// An unsigned number of `size` bytes at `offset` of `bytes`, which the caller
// has made long enough.
std::uint64_t number(const std::vector<unsigned char>& bytes, std::size_t offset, std::size_t size, bool bigEndian)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t at = bigEndian ? offset + i : offset + size - 1 - i;
        value = (value << 8) | bytes[at];
    }
    return value;
}

struct Span {
    std::uint64_t offset;
    std::uint64_t size;
};

// The file span of the version section, for either ELF class.
template <typename Ehdr, typename Shdr>
Span findVersionSection(const ReadOnlyFile& file, const QString& path, bool big)
{
    const std::vector<unsigned char> header = file.read(0, sizeof(Ehdr), ENOEXEC);
    const auto headerField = [&](std::size_t offset, std::size_t size) { return number(header, offset, size, big); };
    const std::uint64_t tableOffset = headerField(offsetof(Ehdr, e_shoff), sizeof(Ehdr::e_shoff));
    const std::uint64_t entrySize = headerField(offsetof(Ehdr, e_shentsize), sizeof(Ehdr::e_shentsize));
    std::uint64_t count = headerField(offsetof(Ehdr, e_shnum), sizeof(Ehdr::e_shnum));
    std::uint64_t namesIndex = headerField(offsetof(Ehdr, e_shstrndx), sizeof(Ehdr::e_shstrndx));
    if (tableOffset == 0)
        fail(ENODATA, path); // no sections at all
    if (entrySize < sizeof(Shdr))
        fail(ENOEXEC, path);

    // Files with very many sections keep the true count and the index of the
    // names' section in the first section header.
    if (count == 0 || namesIndex == SHN_XINDEX) {
        const std::vector<unsigned char> first = file.read(tableOffset, sizeof(Shdr), ENOEXEC);
        if (count == 0)
            count = number(first, offsetof(Shdr, sh_size), sizeof(Shdr::sh_size), big);
        if (namesIndex == SHN_XINDEX)
            namesIndex = number(first, offsetof(Shdr, sh_link), sizeof(Shdr::sh_link), big);
    }
    if (count > kMaxTableBytes / entrySize || namesIndex >= count)
        fail(ENOEXEC, path);
    const std::vector<unsigned char> table = file.read(tableOffset, count * entrySize, ENOEXEC);
    const auto sectionField = [&](std::uint64_t index, std::size_t offset, std::size_t size) {
        return number(table, static_cast<std::size_t>(index * entrySize) + offset, size, big);
    };

    const std::uint64_t namesOffset = sectionField(namesIndex, offsetof(Shdr, sh_offset), sizeof(Shdr::sh_offset));
    const std::uint64_t namesSize = sectionField(namesIndex, offsetof(Shdr, sh_size), sizeof(Shdr::sh_size));
    if (sectionField(namesIndex, offsetof(Shdr, sh_type), sizeof(Shdr::sh_type)) == SHT_NOBITS
        || namesSize > kMaxTableBytes)
        fail(ENOEXEC, path);
    const std::vector<unsigned char> names = file.read(namesOffset, namesSize, ENOEXEC);

    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t name = sectionField(i, offsetof(Shdr, sh_name), sizeof(Shdr::sh_name));
        if (name >= names.size() || names.size() - name < kSectionName.size()
            || std::memcmp(names.data() + name, kSectionName.data(), kSectionName.size()) != 0)
            continue;
        if (sectionField(i, offsetof(Shdr, sh_type), sizeof(Shdr::sh_type)) == SHT_NOBITS)
            fail(ENODATA, path);
        const Span span{sectionField(i, offsetof(Shdr, sh_offset), sizeof(Shdr::sh_offset)),
                        sectionField(i, offsetof(Shdr, sh_size), sizeof(Shdr::sh_size))};
        if (!file.holds(span.offset, span.size))
            fail(ENODATA, path);
        return span;
    }
    fail(ENODATA, path);
}

// Reads the block front to back; any step past its end is a malformed block.
class BlockReader final {
public:
    BlockReader(const std::vector<unsigned char>& bytes, std::size_t size, const QString& path)
        : m_bytes(bytes), m_size(size), m_path(path)
    {
    }

    std::uint16_t u16()
    {
        need(2);
        const auto value = static_cast<std::uint16_t>(m_bytes[m_at] | (m_bytes[m_at + 1] << 8));
        m_at += 2;
        return value;
    }
    std::uint32_t u32()
    {
        const std::uint32_t low = u16();
        return low | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::u16string text(std::size_t units)
    {
        need(2 * units);
        std::u16string result(units, u'\0');
        for (char16_t& unit : result)
            unit = u16();
        return result;
    }
    std::u16string text() { return text(u16()); }
    void skip(std::size_t bytes)
    {
        need(bytes);
        m_at += bytes;
    }

private:
    void need(std::size_t bytes) const
    {
        if (bytes > m_size - m_at)
            fail(ENODATA, m_path);
    }

    const std::vector<unsigned char>& m_bytes;
    std::size_t m_size;
    std::size_t m_at = 0;
    const QString& m_path;
};

struct VersionBlock {
    std::array<std::uint16_t, 4> fileVersion{};
    TEXEVersionData strings;
};

std::u16string tableKey(std::uint16_t language, std::uint16_t codePage)
{
    constexpr std::u16string_view digits = u"0123456789ABCDEF";
    std::u16string key;
    for (const std::uint16_t part : {language, codePage}) {
        for (int shift = 12; shift >= 0; shift -= 4)
            key += digits[(part >> shift) & 0xFu];
    }
    return key;
}

QString* field(TEXEVersionData& data, std::u16string_view name)
{
    const std::array<std::pair<std::u16string_view, QString TEXEVersionData::*>, 12> fields{{
        {u"CompanyName", &TEXEVersionData::CompanyName},
        {u"FileDescription", &TEXEVersionData::FileDescription},
        {u"FileVersion", &TEXEVersionData::FileVersion},
        {u"InternalName", &TEXEVersionData::InternalName},
        {u"LegalCopyright", &TEXEVersionData::LegalCopyright},
        {u"LegalTrademarks", &TEXEVersionData::LegalTrademarks},
        {u"OriginalFileName", &TEXEVersionData::OriginalFileName},
        {u"ProductName", &TEXEVersionData::ProductName},
        {u"ProductVersion", &TEXEVersionData::ProductVersion},
        {u"Comments", &TEXEVersionData::Comments},
        {u"PrivateBuild", &TEXEVersionData::PrivateBuild},
        {u"SpecialBuild", &TEXEVersionData::SpecialBuild},
    }};
    for (const auto& [key, member] : fields) {
        if (key == name)
            return &(data.*member);
    }
    return nullptr;
}

VersionBlock parseBlock(const std::vector<unsigned char>& bytes, const QString& path)
{
    constexpr std::size_t kHeaderSize = 20;
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), "QVB1", 4) != 0)
        fail(ENODATA, path);
    const std::uint64_t size = number(bytes, 4, 4, false);
    if (size < kHeaderSize || size > bytes.size())
        fail(ENODATA, path);

    BlockReader in(bytes, static_cast<std::size_t>(size), path);
    in.skip(8); // magic and size
    VersionBlock block;
    for (std::uint16_t& part : block.fileVersion)
        part = in.u16();
    const std::uint16_t translations = in.u16();
    const std::uint16_t tables = in.u16();
    if (translations == 0)
        fail(ENODATA, path);
    const std::uint16_t language = in.u16();
    const std::uint16_t codePage = in.u16();
    in.skip(4u * (translations - 1u)); // only the first translation counts
    const std::u16string wanted = tableKey(language, codePage);

    // Every table is read, so that a malformed one anywhere fails the whole block.
    bool found = false;
    for (std::uint16_t t = 0; t < tables; ++t) {
        const std::u16string key = in.text(8);
        const bool chosen = !found && key == wanted;
        found = found || chosen;
        const std::uint16_t strings = in.u16();
        for (std::uint16_t s = 0; s < strings; ++s) {
            const std::u16string name = in.text();
            const std::u16string value = in.text();
            QString* const target = chosen ? field(block.strings, name) : nullptr;
            if (target != nullptr && target->isNull())
                *target = QString::fromUtf16(value.data(), static_cast<qsizetype>(value.size()));
        }
    }
    return block;
}

VersionBlock readBlock(const QString& path)
{
    const ReadOnlyFile file(path);
    const std::vector<unsigned char> ident = file.read(0, EI_NIDENT, ENOEXEC);
    if (std::memcmp(ident.data(), ELFMAG, SELFMAG) != 0 || ident[EI_VERSION] != EV_CURRENT)
        fail(ENOEXEC, path);
    const unsigned char byteOrder = ident[EI_DATA];
    if (byteOrder != ELFDATA2LSB && byteOrder != ELFDATA2MSB)
        fail(ENOEXEC, path);
    const bool big = byteOrder == ELFDATA2MSB;
    Span span{};
    if (ident[EI_CLASS] == ELFCLASS64)
        span = findVersionSection<Elf64_Ehdr, Elf64_Shdr>(file, path, big);
    else if (ident[EI_CLASS] == ELFCLASS32)
        span = findVersionSection<Elf32_Ehdr, Elf32_Shdr>(file, path, big);
    else
        fail(ENOEXEC, path);
    if (span.size > kMaxBlockBytes)
        fail(ENODATA, path);
    return parseBlock(file.read(span.offset, span.size, ENODATA), path);
}

} // namespace

TEXEVersionData ReadVersionData(const QString& path)
{
    return readBlock(path).strings;
}

QString FileVersionText(const QString& path)
{
    try {
        const VersionBlock block = readBlock(path);
        return QString::number(block.fileVersion[0]) + u'.' + QString::number(block.fileVersion[1]);
    } catch (...) {
        return QStringLiteral("65535.65535");
    }
}

} // namespace quarrow
