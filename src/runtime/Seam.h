#pragma once

#include <memory>

namespace tavro {

/// \brief Storage behind a process-wide service accessor that tests can replace.
///
/// Each service keeps one SeamSlot in its own .cpp file (so the one instance
/// lives in the service's shared library) and exposes it as
/// `static T& instance()` and `static void setInstance(T*)`:
/// \code
/// StatusService& StatusService::instance() { return slot().get(); }
/// \endcode
/// The default implementation is created on first use.
template <class Interface> class SeamSlot
{
public:
    using Factory = std::unique_ptr<Interface> (*)();
    explicit SeamSlot(Factory factory) : m_factory(factory) {}

    Interface& get()
    {
        if (m_override)
            return *m_override;
        if (!m_default)
            m_default = m_factory();
        return *m_default;
    }
    void set(Interface* replacement) { m_override = replacement; }
    Interface* current() const { return m_override ? m_override : m_default.get(); }

private:
    Factory m_factory;
    std::unique_ptr<Interface> m_default;
    Interface* m_override = nullptr;
};

/// Puts \a replacement in place of a service for the lifetime of the guard.
template <class Interface> class ScopedSeam
{
public:
    explicit ScopedSeam(Interface& replacement) { Interface::setInstance(&replacement); }
    ~ScopedSeam() { Interface::setInstance(nullptr); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;
};

} // namespace tavro
