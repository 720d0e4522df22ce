#include "TestPackages.h"

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lurkel::test {

QByteArray makePackage(PackageFormat format, const std::vector<PackageEntry> &entries)
{
    QByteArray out;
    archive *writer = archive_write_new();
    if (format == PackageFormat::Zip) {
        archive_write_set_format_zip(writer);
    } else {
        archive_write_set_format_pax_restricted(writer);
        archive_write_add_filter_gzip(writer);
    }
    archive_write_set_bytes_in_last_block(writer, 1);
    const auto append = [](archive *, void *client, const void *buffer, size_t length) -> la_ssize_t {
        static_cast<QByteArray *>(client)->append(static_cast<const char *>(buffer), static_cast<qsizetype>(length));
        return static_cast<la_ssize_t>(length);
    };
    EXPECT_EQ(archive_write_open(writer, &out, nullptr, append, nullptr), ARCHIVE_OK);
    for (const PackageEntry &e : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_perm(entry, 0644);
        switch (e.kind) {
        case PackageEntry::File:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, static_cast<la_int64_t>(e.data.size()));
            break;
        case PackageEntry::Folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
            break;
        case PackageEntry::Symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, e.target.c_str());
            break;
        case PackageEntry::Hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, e.target.c_str());
            break;
        case PackageEntry::Fifo:
            archive_entry_set_filetype(entry, AE_IFIFO);
            break;
        }
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << e.name << ": " << archive_error_string(writer);
        if (e.kind == PackageEntry::File && !e.data.empty()) archive_write_data(writer, e.data.data(), e.data.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return out;
}

} // namespace lurkel::test
