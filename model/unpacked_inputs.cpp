#include "model/unpacked_inputs.h"

#include "io/buf_file.h"
#include "model/records.h"

namespace zarvex {

bool OpenInputFile(const MyCObArray& list, const std::string& name, CBufFile& file, std::uint32_t mode,
                   FileError* error, std::shared_ptr<void>* lease)
{
    if (!list.m_Unpacked || !list.m_Unpacked->Holds(name)) return file.Open(name, mode, error);
    UnpackedInputs::Opened opened = list.m_Unpacked->Open(name, error);
    if (opened.fd < 0) return false;
    file.Attach(opened.fd, name, mode);
    if (lease) *lease = std::move(opened.lease);
    return true;
}

std::string InputLocation(const MyCObArray& list, const std::string& name)
{
    if (!list.m_Unpacked || !list.m_Unpacked->Holds(name)) return name;
    return list.m_Unpacked->SourceOf(name);
}

} // namespace zarvex
