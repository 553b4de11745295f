// The out-of-range path of vec_t_'s checked indexing, kept out of line.
#include "Math/KrVec.h"

#include <stdexcept>
#include <string>

void KrVecDetail::ThrowIndexOutOfRange(std::size_t n, bool isConst) {
    throw std::invalid_argument("vec_t_<T," + std::to_string(n) + ">::operator[]( size_t idx)" +
                                (isConst ? " const" : "") + ": index out of range");
}
