#include "tests/cfb/GsfCompoundFile.h"

#include <gsf/gsf.h>

#include <algorithm>

namespace cfbtest {

using spreadsheet::cfb::Entry;

namespace {

void EnsureGsf() {
    static const bool initialised = [] {
        gsf_init();
        return true;
    }();
    (void)initialised;
}

bool ReadChildren(GsfInfile* storage, Entry* into, std::string* error) {
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i) {
        GsfInput* child = gsf_infile_child_by_index(storage, i);
        if (child == nullptr) {
            *error = "libgsf cannot open child " + std::to_string(i);
            return false;
        }
        Entry entry;
        entry.name = gsf_input_name(child);
        bool ok = true;
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
            entry.kind = Entry::Kind::Storage;
            gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child), entry.clsid.data());
            ok = ReadChildren(GSF_INFILE(child), &entry, error);
        } else {
            entry.kind = Entry::Kind::Stream;
            const gsf_off_t size = gsf_input_size(child);
            entry.data.resize(static_cast<std::size_t>(size));
            if (size > 0 &&
                gsf_input_read(child, static_cast<std::size_t>(size),
                               reinterpret_cast<guint8*>(entry.data.data())) == nullptr) {
                *error = "libgsf cannot read stream " + entry.name;
                ok = false;
            }
        }
        g_object_unref(child);
        if (!ok)
            return false;
        into->children.push_back(std::move(entry));
    }
    return true;
}

void WriteChildren(GsfOutfile* storage, const Entry& from) {
    for (const Entry& child : from.children) {
        const bool isStorage = child.kind == Entry::Kind::Storage;
        GsfOutput* out = gsf_outfile_new_child(storage, child.name.c_str(), isStorage);
        if (isStorage) {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out), child.clsid.data());
            WriteChildren(GSF_OUTFILE(out), child);
        } else if (!child.data.empty()) {
            gsf_output_write(out, child.data.size(),
                             reinterpret_cast<const guint8*>(child.data.data()));
        }
        gsf_output_close(out);
        g_object_unref(out);
    }
}

}  // namespace

bool ReadWithGsf(const std::string& bytes, Entry* root, std::string* error) {
    EnsureGsf();
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                           static_cast<gsf_off_t>(bytes.size()), FALSE);
    GError* gerror = nullptr;
    GsfInfile* ole = gsf_infile_msole_new(input, &gerror);
    g_object_unref(input);
    if (ole == nullptr) {
        *error = std::string("libgsf refuses the file: ") +
                 (gerror != nullptr ? gerror->message : "no reason given");
        if (gerror != nullptr)
            g_error_free(gerror);
        return false;
    }
    root->kind = Entry::Kind::Storage;
    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole), root->clsid.data());
    const bool ok = ReadChildren(ole, root, error);
    g_object_unref(ole);
    return ok;
}

std::string WriteWithGsf(const Entry& root, int sectorSize) {
    EnsureGsf();
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new_full(sink, static_cast<guint>(sectorSize), 64);
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), root.clsid.data());
    WriteChildren(ole, root);
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
    std::string result(reinterpret_cast<const char*>(bytes),
                       static_cast<std::size_t>(gsf_output_size(sink)));
    g_object_unref(sink);
    return result;
}

}  // namespace cfbtest
