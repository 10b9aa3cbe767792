// The parts of common/Errors.h that make an Error from a system error number. They are
// built into velmora_files, the small library below the core, whose file primitives
// return Errors too; the text of an Error is made in the core (Errors.cpp).
#include "common/Errors.h"

#include <cerrno>
#include <utility>

namespace velmora {

Error::Kind ErrorKindFromErrno(int err)
{
    using Kind = Error::Kind;
    switch (err) {
    case ENOENT:
        return Kind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return Kind::AccessDenied;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return Kind::InUse;
    case EEXIST:
    case ENOTEMPTY:
        return Kind::Exists;
    case ENOTDIR:
        return Kind::NotAFolder;
    case EISDIR:
        return Kind::IsAFolder;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Kind::NoSpace;
    case EINVAL:
    case ERANGE:
    case ENAMETOOLONG:
        return Kind::InvalidInput;
    case ENOSYS:
#if defined(ENOTSUP)
    case ENOTSUP:
#endif
#if defined(EOPNOTSUPP) && (!defined(ENOTSUP) || EOPNOTSUPP != ENOTSUP)
    case EOPNOTSUPP:
#endif
        return Kind::Unsupported;
#ifdef ECANCELED
    case ECANCELED:
        return Kind::Cancelled;
#endif
    default:
        return Kind::Io;
    }
}

Error ErrorFromErrno(int err, std::string path, std::string detail)
{
    return Error{ErrorKindFromErrno(err), std::move(path), err, std::move(detail)};
}

Error WithDetail(Error error, std::string detail)
{
    error.detail = std::move(detail);
    return error;
}

} // namespace velmora
