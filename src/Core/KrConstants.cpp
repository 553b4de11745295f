// Load-time constants: settings key names and the floating-point specials.
#include "Core/KrConstants.h"

#include <limits>

namespace kr {
const std::string s___result = "__result";
const std::string s___result_data = "__result_data";
const std::string s_x = "x";
const std::string s_y = "y";
const std::string s_z = "z";
const std::string s_w = "w";
const std::string s_min = "min";
const std::string s_max = "max";
const std::string s_empty = "empty";
const std::string s_data = "data";
const std::string s_index = "index";
const std::string s_alpha = "alpha";
const std::string s_omega = "omega";
const std::string s_kappa = "kappa";
const std::string s_src_res_id = "src_res_id";
const std::string s_dst_res_id = "dst_res_id";
const std::string s_project_id = "project_id";
const std::string s_serial_id = "serial_id";
const std::string s_dem = "dem";
const std::string s_objects = "objects";
const std::string s_raster = "raster";
const std::string s_tin = "tin";
const std::string s_group_id = "group_id";
const std::string s_dep_group_id = "dep_group_id";
const std::string s_par_proc_params = "par_proc_params";
const std::string s_parallel = "parallel";
const std::string s_params = "params";
const std::string s_version = "version";
const std::string s_;
} // namespace kr

// From the type itself: a scanf of "+INF" at load time would depend on the locale a plug-in host
// runs in (Turkish case rules do not fold 'I' to 'i').
const double PINF = std::numeric_limits<double>::infinity();
const double NINF = -std::numeric_limits<double>::infinity();
const double PNAN = std::numeric_limits<double>::quiet_NaN();
const double NNAN = -std::numeric_limits<double>::quiet_NaN();
