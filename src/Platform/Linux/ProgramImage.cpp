#include "Platform/Linux/ProgramImage.h"

#include "Platform/Linux/RegularFile.h"

#include <QFileInfo>
#include <QSysInfo>

#include <elf.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>

namespace {

struct Elf64 {
    using Ehdr = Elf64_Ehdr;
    using Phdr = Elf64_Phdr;
    using Shdr = Elf64_Shdr;
    using Sym = Elf64_Sym;
    using Dyn = Elf64_Dyn;
    static constexpr unsigned char elfClass = ELFCLASS64;
};

struct Elf32 {
    using Ehdr = Elf32_Ehdr;
    using Phdr = Elf32_Phdr;
    using Shdr = Elf32_Shdr;
    using Sym = Elf32_Sym;
    using Dyn = Elf32_Dyn;
    static constexpr unsigned char elfClass = ELFCLASS32;
};

// The bytes of the file, read within their bounds in blocks through a cache of fixed size. Every
// byte read from the file and every byte handed out of the cache counts against
// ProgramImage::maxBytesRead: headers that point many times at the same bytes cost as much as
// headers that point at new ones, so the time taken is bounded as well as the memory.
class Reader {
public:
    using Fetch = ProgramImage::Fetch;

    Reader(quint64 size, Fetch fetch)
        : m_size(size)
        , m_fetch(std::move(fetch))
        , m_blocks(new Block[slotCount]) {}

    quint64 size() const { return m_size; }
    // Whether a read was refused because the bound was reached, or failed or came short.
    bool cut() const { return m_cut; }

    // Copies length bytes at offset; false when they are not all in the file, or past the bound.
    bool copy(quint64 offset, void* into, quint64 length) {
        if (offset > m_size || m_size - offset < length || !spend(length)) {
            return false;
        }
        auto* to = static_cast<char*>(into);
        while (length > 0) {
            const Block* block = blockAt(offset);
            if (!block) {
                return false;
            }
            const quint64 count = std::min(length, block->length - (offset - block->start));
            std::memcpy(to, block->bytes.data() + (offset - block->start), count);
            to += count;
            offset += count;
            length -= count;
        }
        return true;
    }

    template <typename T> std::optional<T> at(quint64 offset) {
        T value;
        if (!copy(offset, &value, sizeof(T))) {
            return std::nullopt;
        }
        return value;
    }

    // The text that starts at offset and ends before a NUL, limit or the end of the file; nothing
    // when it is longer than maxLength or cannot be read.
    std::optional<QByteArray> text(quint64 offset, quint64 limit, qsizetype maxLength) {
        QByteArray text;
        const quint64 end = std::min(m_size, limit);
        while (offset < end) {
            const Block* block = blockAt(offset);
            if (!block) {
                return std::nullopt;
            }
            const char* from = block->bytes.data() + (offset - block->start);
            // One byte more than a name may hold: the NUL, or the proof that it is too long.
            const quint64 available = std::min({block->length - (offset - block->start), end - offset,
                                                quint64(maxLength - text.size()) + 1});
            if (!spend(available)) {
                return std::nullopt;
            }
            const auto* nul = static_cast<const char*>(std::memchr(from, 0, available));
            const quint64 count = nul ? quint64(nul - from) : available;
            if (text.size() + qsizetype(count) > maxLength) {
                return std::nullopt;
            }
            text.append(from, qsizetype(count));
            if (nul) {
                break;
            }
            offset += count;
        }
        return text;
    }

private:
    static constexpr quint64 blockSize = 4096;
    static constexpr std::size_t slotCount = 64;

    struct Block {
        quint64 start = ~quint64(0);
        // The bytes read; fewer than asked when the file was cut short since its size was read.
        quint64 length = 0;
        std::array<char, blockSize> bytes;
    };

    bool spend(quint64 count) {
        if (m_cut || ProgramImage::maxBytesRead - m_spent < count) {
            m_cut = true;
            return false;
        }
        m_spent += count;
        return true;
    }

    // The cached block that holds offset (below the size); nothing when it cannot be read.
    const Block* blockAt(quint64 offset) {
        const quint64 start = offset - offset % blockSize;
        Block& block = m_blocks[std::size_t(offset / blockSize % slotCount)];
        if (block.start != start) {
            const quint64 length = std::min(blockSize, m_size - start);
            block.start = ~quint64(0);
            if (!spend(length)) {
                return nullptr;
            }
            const qsizetype got = m_fetch(start, block.bytes.data(), qsizetype(length));
            // A file rewritten or cut short since its size was taken: what is missing may be
            // anything, also the headers that would have named more.
            if (got < qsizetype(length)) {
                m_cut = true;
            }
            if (got < 0) {
                return nullptr;
            }
            block.start = start;
            block.length = quint64(got);
        }
        return offset - start < block.length ? &block : nullptr;
    }

    quint64 m_size;
    Fetch m_fetch;
    // Default-initialised: a block's bytes are written before they are read.
    std::unique_ptr<Block[]> m_blocks;
    quint64 m_spent = 0;
    bool m_cut = false;
};

quint64 aligned4(quint64 value) {
    return (value + 3) & ~quint64(3);
}

QByteArray buildIdIn(Reader& file, quint64 offset, quint64 size) {
    if (offset > file.size()) {
        return QByteArray();
    }
    const quint64 end = offset + std::min(size, file.size() - offset);
    while (offset <= end && end - offset >= 12) {
        const auto nameSize = file.at<quint32>(offset);
        const auto descSize = file.at<quint32>(offset + 4);
        const auto type = file.at<quint32>(offset + 8);
        if (!nameSize || !descSize || !type) {
            return QByteArray();
        }
        const quint64 name = offset + 12;
        const quint64 desc = name + aligned4(*nameSize);
        if (desc > end || end - desc < *descSize) {
            return QByteArray();
        }
        char owner[4];
        if (*type == NT_GNU_BUILD_ID && *nameSize == 4 && file.copy(name, owner, 4) &&
            std::memcmp(owner, "GNU", 4) == 0) {
            if (*descSize > ProgramImage::maxBuildIdLength) {
                return QByteArray();
            }
            QByteArray id(qsizetype(*descSize), Qt::Uninitialized);
            return file.copy(desc, id.data(), *descSize) ? id : QByteArray();
        }
        offset = desc + aligned4(*descSize);
    }
    return QByteArray();
}

// The first of the names asked for among the undefined symbols of the dynamic symbol table, found
// through the section headers.
template <typename Elf>
QList<QByteArray> importsOf(Reader& file, const typename Elf::Ehdr& header, const QSet<QByteArray>& asked) {
    if (header.e_shentsize != sizeof(typename Elf::Shdr)) {
        return {};
    }
    qsizetype longest = 0;
    for (const QByteArray& name : asked) {
        longest = std::max(longest, name.size());
    }
    for (quint64 i = 0; i < header.e_shnum; ++i) {
        const auto section = file.at<typename Elf::Shdr>(header.e_shoff + i * sizeof(typename Elf::Shdr));
        if (!section || section->sh_type != SHT_DYNSYM) {
            continue;
        }
        const auto strings = file.at<typename Elf::Shdr>(header.e_shoff + quint64(section->sh_link) *
                                                                              sizeof(typename Elf::Shdr));
        if (!strings) {
            return {};
        }
        const quint64 count = section->sh_size / sizeof(typename Elf::Sym);
        for (quint64 s = 0; s < count; ++s) {
            const auto symbol =
                file.at<typename Elf::Sym>(section->sh_offset + s * sizeof(typename Elf::Sym));
            if (!symbol) {
                break;
            }
            if (symbol->st_shndx != SHN_UNDEF || symbol->st_name == 0) {
                continue;
            }
            // A name longer than every name asked for is none of them.
            const std::optional<QByteArray> name = file.text(strings->sh_offset + symbol->st_name,
                                                             strings->sh_offset + strings->sh_size, longest);
            if (name && asked.contains(*name)) {
                return {*name};
            }
        }
        break;
    }
    return {};
}

template <typename Elf>
std::optional<ProgramImage> readImage(Reader& file, const QSet<QByteArray>& importsAsked) {
    const auto header = file.at<typename Elf::Ehdr>(0);
    if (!header || header->e_phentsize != sizeof(typename Elf::Phdr)) {
        return std::nullopt;
    }
    QList<typename Elf::Phdr> loads;
    std::optional<typename Elf::Phdr> dynamic;
    ProgramImage image;
    for (quint64 i = 0; i < header->e_phnum; ++i) {
        const auto segment = file.at<typename Elf::Phdr>(header->e_phoff + i * sizeof(typename Elf::Phdr));
        if (!segment) {
            return std::nullopt;
        }
        if (segment->p_type == PT_LOAD) {
            loads.append(*segment);
        } else if (segment->p_type == PT_DYNAMIC) {
            dynamic = segment;
        } else if (segment->p_type == PT_NOTE && image.buildId.isEmpty()) {
            image.buildId = buildIdIn(file, segment->p_offset, segment->p_filesz);
        }
    }
    quint64 strings = 0;
    quint64 stringsSize = 0;
    QList<quint64> needed;
    std::optional<quint64> soname;
    if (dynamic && dynamic->p_offset <= file.size()) {
        const quint64 end =
            dynamic->p_offset + std::min<quint64>(dynamic->p_filesz, file.size() - dynamic->p_offset);
        for (quint64 offset = dynamic->p_offset; end - offset >= sizeof(typename Elf::Dyn);
             offset += sizeof(typename Elf::Dyn)) {
            const auto entry = file.at<typename Elf::Dyn>(offset);
            if (!entry || entry->d_tag == DT_NULL) {
                break;
            }
            const quint64 value = entry->d_un.d_val;
            switch (entry->d_tag) {
            case DT_STRTAB:
                strings = value;
                break;
            case DT_STRSZ:
                stringsSize = value;
                break;
            case DT_NEEDED:
                if (needed.size() < ProgramImage::maxNeeded) {
                    needed.append(value);
                } else {
                    image.cut = true;
                }
                break;
            case DT_SONAME:
                soname = value;
                break;
            default:
                break;
            }
        }
    }
    // The string table is named by its address once loaded: where that address lies in the file.
    for (const auto& load : loads) {
        if (strings >= load.p_vaddr && strings - load.p_vaddr < load.p_filesz) {
            const quint64 table = strings - load.p_vaddr + load.p_offset;
            // A name too long to keep, or past the bound, leaves the image unknown in part.
            for (const quint64 name : needed) {
                const std::optional<QByteArray> text =
                    file.text(table + name, table + stringsSize, ProgramImage::maxNameLength);
                image.cut = image.cut || !text;
                if (text) {
                    image.needed.append(*text);
                }
            }
            if (soname) {
                const std::optional<QByteArray> text =
                    file.text(table + *soname, table + stringsSize, ProgramImage::maxNameLength);
                image.cut = image.cut || !text;
                image.soname = text.value_or(QByteArray());
            }
            break;
        }
    }
    if (!importsAsked.isEmpty()) {
        image.imported = importsOf<Elf>(file, *header, importsAsked);
    }
    image.cut = image.cut || file.cut();
    return image;
}

std::optional<ProgramImage> imageOf(Reader& file, const QSet<QByteArray>& importsAsked) {
    unsigned char identity[EI_NIDENT];
    if (!file.copy(0, identity, EI_NIDENT) || std::memcmp(identity, ELFMAG, SELFMAG) != 0) {
        return std::nullopt;
    }
    const unsigned char ownOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? ELFDATA2LSB : ELFDATA2MSB;
    if (identity[EI_DATA] != ownOrder) {
        return std::nullopt;
    }
    if (identity[EI_CLASS] == Elf64::elfClass) {
        return readImage<Elf64>(file, importsAsked);
    }
    if (identity[EI_CLASS] == Elf32::elfClass) {
        return readImage<Elf32>(file, importsAsked);
    }
    return std::nullopt;
}

} // namespace

std::optional<ProgramImage> ProgramImage::fromBytes(QByteArrayView bytes,
                                                    const QSet<QByteArray>& importsAsked) {
    const auto fetch = [bytes](quint64 offset, char* into, qsizetype length) {
        std::memcpy(into, bytes.data() + offset, std::size_t(length));
        return length;
    };
    return fromReads(quint64(bytes.size()), fetch, importsAsked);
}

std::optional<ProgramImage> ProgramImage::fromReads(quint64 size, const Fetch& fetch,
                                                    const QSet<QByteArray>& importsAsked) {
    Reader file(size, fetch);
    std::optional<ProgramImage> image = imageOf(file, importsAsked);
    if (!image && file.cut()) {
        // Too little was read to tell even what kind of file it is.
        image = ProgramImage();
        image->cut = true;
    }
    return image;
}

std::optional<ProgramImage> ProgramImage::read(const QString& path, const QSet<QByteArray>& importsAsked) {
    const std::optional<RegularFile> opened = RegularFile::open(path);
    if (!opened) {
        // A regular file that cannot be opened (execute-only, say) may be anything.
        if (QFileInfo(path).isFile()) {
            ProgramImage unread;
            unread.cut = true;
            return unread;
        }
        return std::nullopt;
    }
    const RegularFile& regular = *opened;
    const auto fetch = [&regular](quint64 offset, char* into, qsizetype length) {
        return regular.readAt(offset, into, length);
    };
    return fromReads(regular.size(), fetch, importsAsked);
}
