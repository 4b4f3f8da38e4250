#include "Platform/Linux/ProgramImage.h"

#include <QFile>
#include <QSysInfo>

#include <elf.h>

#include <cstring>

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

// The bytes of the mapped file, read only within their bounds.
struct Bytes {
    const uchar* data;
    quint64 size;

    template <typename T> std::optional<T> at(quint64 offset) const {
        if (offset > size || size - offset < sizeof(T)) {
            return std::nullopt;
        }
        T value;
        std::memcpy(&value, data + offset, sizeof(T));
        return value;
    }
    // The text that starts at offset and ends before a NUL, limit or the end.
    QByteArray text(quint64 offset, quint64 limit) const {
        if (offset >= size || offset >= limit) {
            return QByteArray();
        }
        const quint64 end = std::min(size, limit);
        const auto* start = reinterpret_cast<const char*>(data + offset);
        return QByteArray(start, qsizetype(::strnlen(start, end - offset)));
    }
};

quint64 aligned4(quint64 value) {
    return (value + 3) & ~quint64(3);
}

QByteArray buildIdIn(const Bytes& file, quint64 offset, quint64 size) {
    const quint64 end = std::min(file.size, offset + size);
    while (offset + 12 <= end) {
        const auto nameSize = file.at<quint32>(offset);
        const auto descSize = file.at<quint32>(offset + 4);
        const auto type = file.at<quint32>(offset + 8);
        if (!nameSize || !descSize || !type) {
            return QByteArray();
        }
        const quint64 name = offset + 12;
        const quint64 desc = name + aligned4(*nameSize);
        if (desc + *descSize > end) {
            return QByteArray();
        }
        if (*type == NT_GNU_BUILD_ID && *nameSize == 4 && std::memcmp(file.data + name, "GNU", 4) == 0) {
            return QByteArray(reinterpret_cast<const char*>(file.data + desc), qsizetype(*descSize));
        }
        offset = desc + aligned4(*descSize);
    }
    return QByteArray();
}

// The undefined symbols of the dynamic symbol table, found through the section headers.
template <typename Elf> QList<QByteArray> importsOf(const Bytes& file, const typename Elf::Ehdr& header) {
    QList<QByteArray> names;
    if (header.e_shentsize != sizeof(typename Elf::Shdr)) {
        return names;
    }
    for (quint64 i = 0; i < header.e_shnum; ++i) {
        const auto section = file.at<typename Elf::Shdr>(header.e_shoff + i * sizeof(typename Elf::Shdr));
        if (!section || section->sh_type != SHT_DYNSYM) {
            continue;
        }
        const auto strings = file.at<typename Elf::Shdr>(header.e_shoff + quint64(section->sh_link) *
                                                                              sizeof(typename Elf::Shdr));
        if (!strings) {
            return names;
        }
        const quint64 count = section->sh_size / sizeof(typename Elf::Sym);
        for (quint64 s = 0; s < count; ++s) {
            const auto symbol =
                file.at<typename Elf::Sym>(section->sh_offset + s * sizeof(typename Elf::Sym));
            if (!symbol) {
                break;
            }
            if (symbol->st_shndx == SHN_UNDEF && symbol->st_name != 0) {
                names.append(
                    file.text(strings->sh_offset + symbol->st_name, strings->sh_offset + strings->sh_size));
            }
        }
        break;
    }
    return names;
}

template <typename Elf> std::optional<ProgramImage> readImage(const Bytes& file, bool withImports) {
    const auto header = file.at<typename Elf::Ehdr>(0);
    if (!header || header->e_phentsize != sizeof(typename Elf::Phdr)) {
        return std::nullopt;
    }
    QList<typename Elf::Phdr> loads;
    std::optional<typename Elf::Phdr> dynamic;
    ProgramImage image;
    if (withImports) {
        image.imported = importsOf<Elf>(file, *header);
    }
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
    if (!dynamic) {
        return image;
    }
    quint64 strings = 0;
    quint64 stringsSize = 0;
    QList<quint64> needed;
    std::optional<quint64> soname;
    for (quint64 offset = dynamic->p_offset; offset < dynamic->p_offset + dynamic->p_filesz;
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
            needed.append(value);
            break;
        case DT_SONAME:
            soname = value;
            break;
        default:
            break;
        }
    }
    // The string table is named by its address once loaded: where that address lies in the file.
    for (const auto& load : loads) {
        if (strings >= load.p_vaddr && strings - load.p_vaddr < load.p_filesz) {
            const quint64 table = strings - load.p_vaddr + load.p_offset;
            for (const quint64 name : needed) {
                image.needed.append(file.text(table + name, table + stringsSize));
            }
            if (soname) {
                image.soname = file.text(table + *soname, table + stringsSize);
            }
            break;
        }
    }
    return image;
}

} // namespace

std::optional<ProgramImage> ProgramImage::fromBytes(QByteArrayView bytes, bool withImports) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    if (bytes.size() < qsizetype(EI_NIDENT) || std::memcmp(data, ELFMAG, SELFMAG) != 0) {
        return std::nullopt;
    }
    const Bytes file{data, quint64(bytes.size())};
    const unsigned char ownOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? ELFDATA2LSB : ELFDATA2MSB;
    if (data[EI_DATA] != ownOrder) {
        return std::nullopt;
    }
    if (data[EI_CLASS] == Elf64::elfClass) {
        return readImage<Elf64>(file, withImports);
    }
    if (data[EI_CLASS] == Elf32::elfClass) {
        return readImage<Elf32>(file, withImports);
    }
    return std::nullopt;
}

std::optional<ProgramImage> ProgramImage::read(const QString& path, bool withImports) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < qint64(EI_NIDENT)) {
        return std::nullopt;
    }
    const uchar* data = file.map(0, file.size());
    if (!data) {
        return std::nullopt;
    }
    const std::optional<ProgramImage> image =
        fromBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(file.size())), withImports);
    file.unmap(const_cast<uchar*>(data));
    return image;
}
