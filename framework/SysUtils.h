#pragma once
// Exceptions and string, number and file helpers of the component library.
#include <stdexcept>
#include <string>

class Exception : public std::exception {
public:
    Exception() = default;
    explicit Exception(std::string message) : Message(std::move(message)) {}
    virtual ~Exception() = default;
    const char* what() const noexcept override { return Message.c_str(); }
    virtual std::string ClassName() const { return "Exception"; }
    std::string Message;
};

#define QM_EXCEPTION(Cls, Base)                                        \
    class Cls : public Base {                                          \
    public:                                                            \
        using Base::Base;                                              \
        std::string ClassName() const override { return #Cls; }       \
    };

QM_EXCEPTION(EConvertError, Exception)
QM_EXCEPTION(EListError, Exception)
QM_EXCEPTION(EStringListError, Exception)
QM_EXCEPTION(EInvalidOperation, Exception)
QM_EXCEPTION(EInvalidCast, Exception)
QM_EXCEPTION(EComponentError, Exception)
QM_EXCEPTION(EPropertyError, Exception)
QM_EXCEPTION(EReadError, Exception)
QM_EXCEPTION(EWriteError, Exception)
QM_EXCEPTION(EFilerError, Exception)
QM_EXCEPTION(EOutOfMemory, Exception)
QM_EXCEPTION(EInOutError, Exception)
QM_EXCEPTION(EOSError, Exception)
QM_EXCEPTION(ERegistryException, Exception)
QM_EXCEPTION(EIniFileException, Exception)
QM_EXCEPTION(EThread, Exception)
QM_EXCEPTION(EAbort, Exception)
