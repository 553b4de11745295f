// Constants created when the library is loaded: settings key names and floating-point specials.
#pragma once

#include "Core/KrExport.h"

#include <string>

namespace kr {
// Key names shared by the settings trees of every family.
extern KRSTD_API const std::string s___result;
extern KRSTD_API const std::string s___result_data;
extern KRSTD_API const std::string s_x;
extern KRSTD_API const std::string s_y;
extern KRSTD_API const std::string s_z;
extern KRSTD_API const std::string s_w;
extern KRSTD_API const std::string s_min;
extern KRSTD_API const std::string s_max;
extern KRSTD_API const std::string s_empty;
extern KRSTD_API const std::string s_data;
extern KRSTD_API const std::string s_index;
extern KRSTD_API const std::string s_alpha;
extern KRSTD_API const std::string s_omega;
extern KRSTD_API const std::string s_kappa;
extern KRSTD_API const std::string s_src_res_id;
extern KRSTD_API const std::string s_dst_res_id;
extern KRSTD_API const std::string s_project_id;
extern KRSTD_API const std::string s_serial_id;
extern KRSTD_API const std::string s_dem;
extern KRSTD_API const std::string s_objects;
extern KRSTD_API const std::string s_raster;
extern KRSTD_API const std::string s_tin;
extern KRSTD_API const std::string s_group_id;
extern KRSTD_API const std::string s_dep_group_id;
extern KRSTD_API const std::string s_par_proc_params;
extern KRSTD_API const std::string s_parallel;
extern KRSTD_API const std::string s_params;
extern KRSTD_API const std::string s_version;
extern KRSTD_API const std::string s_;
} // namespace kr

/// Positive and negative infinity and quiet NaNs of either sign, parsed from text at load time.
extern KRSTD_API const double PINF;
extern KRSTD_API const double NINF;
extern KRSTD_API const double PNAN;
extern KRSTD_API const double NNAN;
