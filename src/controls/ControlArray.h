#pragma once

#include <array>
#include <cstddef>

namespace tavro {

/// \brief A control array: elements addressed by their classic index.
///
/// Elements that the form does not have stay nullptr (`mLblDataCnfrmPymt` only has index 4):
/// \code
/// ControlArray<Label, 5> mLblDataCnfrmPymt{}; // only [4] is created
/// \endcode
/// Each element also carries its index (ClassicControl::setIndex) so that one handler can serve
/// the whole array.
template <class Control, std::size_t N> using ControlArray = std::array<Control*, N>;

} // namespace tavro
