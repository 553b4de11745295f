# The library's layers: one OBJECT library each, listing its units and the layers it may use.
#
# A unit "Family/KrName" stands for whichever of src/Family/KrName.cpp, src/Family/KrName.h and
# include/Family/KrName.h exist. Every file under src/ and include/ (the umbrella header aside)
# belongs to exactly one layer, and configuring fails when a file includes a header of a layer
# it may not use: an upward reach is a build error, not a review finding. Test executables link
# the objects of one layer and of the layers below it, so an upward call fails to link as well.

set(KRSTD_ROOT ${CMAKE_CURRENT_SOURCE_DIR})

# Settings every layer compiles with; linked PUBLIC by each layer, so tests inherit them too.
add_library(KrStdLayerSettings INTERFACE)
target_include_directories(KrStdLayerSettings INTERFACE ${KRSTD_ROOT}/include ${KRSTD_ROOT}/src)
target_link_libraries(KrStdLayerSettings INTERFACE Threads::Threads Qt5::Core Boost::headers)

# krstd_layer(<name> [USES <layer>...] [LINKS <library>...] UNITS <Family/KrName>...)
function(krstd_layer name)
  cmake_parse_arguments(L "" "" "USES;LINKS;UNITS" ${ARGN})
  set(files)
  foreach(unit ${L_UNITS})
    set(found FALSE)
    foreach(rel src/${unit}.cpp src/${unit}.h src/${unit}.qrc include/${unit}.h)
      if(EXISTS ${KRSTD_ROOT}/${rel})
        get_property(owner GLOBAL PROPERTY KRSTD_LAYER_OF_${rel})
        if(owner)
          message(FATAL_ERROR "${rel} is listed in layers ${owner} and ${name}")
        endif()
        set_property(GLOBAL PROPERTY KRSTD_LAYER_OF_${rel} ${name})
        list(APPEND files ${rel})
        set(found TRUE)
      endif()
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "Layer ${name}: no source or header for unit ${unit}")
    endif()
  endforeach()

  set(closure ${name})
  foreach(below ${L_USES})
    get_property(below_closure GLOBAL PROPERTY KRSTD_CLOSURE_${below})
    if(NOT below_closure)
      message(FATAL_ERROR "Layer ${name} uses ${below}, which is not declared before it")
    endif()
    list(APPEND closure ${below_closure})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  set_property(GLOBAL PROPERTY KRSTD_CLOSURE_${name} ${closure})
  set_property(GLOBAL PROPERTY KRSTD_FILES_${name} ${files})
  set_property(GLOBAL APPEND PROPERTY KRSTD_LAYERS ${name})
  set_property(GLOBAL APPEND PROPERTY KRSTD_LAYER_LINKS ${L_LINKS})

  list(TRANSFORM files PREPEND ${KRSTD_ROOT}/)
  add_library(KrStd_${name} OBJECT ${files})
  set_target_properties(KrStd_${name} PROPERTIES AUTORCC ON)
  target_link_libraries(KrStd_${name} PUBLIC KrStdLayerSettings ${L_LINKS})
  foreach(below ${L_USES})
    target_link_libraries(KrStd_${name} PUBLIC KrStd_${below})
  endforeach()
  target_compile_definitions(KrStd_${name} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS
                             KRSTD_VERSION_STRING="${PROJECT_VERSION}")
  krstd_set_warnings(KrStd_${name})
  # Calls inside the library need not go through the PLT: nobody interposes our symbols.
  target_compile_options(KrStd_${name} PRIVATE -fno-semantic-interposition)
endfunction()

# krstd_layer_objects(<out-var> <layer>): the object files of the layer and every layer below.
function(krstd_layer_objects out layer)
  get_property(closure GLOBAL PROPERTY KRSTD_CLOSURE_${layer})
  set(objects)
  foreach(l ${closure})
    list(APPEND objects $<TARGET_OBJECTS:KrStd_${l}>)
  endforeach()
  set(${out} ${objects} PARENT_SCOPE)
endfunction()

# krstd_layer_of_file(<out-var> <path relative to the root>): the owning layer, or "".
function(krstd_layer_of_file out rel)
  get_property(owner GLOBAL PROPERTY KRSTD_LAYER_OF_${rel})
  set(${out} "${owner}" PARENT_SCOPE)
endfunction()

# Writes the layer map (each file's layer, each layer's usable layers) for the include check,
# runs the check now, and again at build time whenever a source or header changes.
function(krstd_check_layers)
  file(GLOB_RECURSE all RELATIVE ${KRSTD_ROOT} CONFIGURE_DEPENDS
       ${KRSTD_ROOT}/src/*.cpp ${KRSTD_ROOT}/src/*.h ${KRSTD_ROOT}/src/*.qrc ${KRSTD_ROOT}/include/*.h)
  list(REMOVE_ITEM all include/KrStd.h)
  set(map "")
  get_property(layers GLOBAL PROPERTY KRSTD_LAYERS)
  foreach(layer ${layers})
    get_property(closure GLOBAL PROPERTY KRSTD_CLOSURE_${layer})
    string(APPEND map "uses ${layer} ${closure}\n")
  endforeach()
  set(sources)
  foreach(rel ${all})
    get_property(layer GLOBAL PROPERTY KRSTD_LAYER_OF_${rel})
    if(NOT layer)
      set(layer "-")
    endif()
    string(APPEND map "file ${rel} ${layer}\n")
    list(APPEND sources ${KRSTD_ROOT}/${rel})
  endforeach()
  set(map_file ${CMAKE_BINARY_DIR}/KrStdLayers.map)
  file(WRITE ${map_file} "${map}")
  set(script ${KRSTD_ROOT}/cmake/KrStdCheckLayers.cmake)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${KRSTD_ROOT} -DMAP=${map_file} -P ${script}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Layering violations (see above); cmake/KrStdLayers.cmake lists the layers")
  endif()
  set(stamp ${CMAKE_BINARY_DIR}/KrStdLayers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${KRSTD_ROOT} -DMAP=${map_file} -P ${script}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${sources} ${map_file} ${script}
    COMMENT "Checking that no layer includes a header of a layer above it" VERBATIM)
  add_custom_target(KrStdLayerCheck ALL DEPENDS ${stamp})
endfunction()

# The layers, bottom up, in the order the library is built. ------------------------------------

# Module state, interfaces and the shared pointer, messages, strings, time, checksums, the
# progress-handler interface and the worker-thread budget.
krstd_layer(Frame
  UNITS Core/KrExport Core/KrVarA Core/KrVarARework Core/KrInterface Core/KrRef Core/KrModuleHooks
        Core/KrMessage Core/KrMessageParameters Core/KrExceptions Core/KrModule
        Core/KrConstants Core/KrDebugModes Core/KrBuildVersion Core/KrTimer Core/KrCmdLineParams
        Core/KrStringCompare Core/KrStringEncode Core/KrStringFormat Core/KrStringList
        Core/KrNumberScan Core/KrStringParse Core/KrStringReadable Core/KrCopyName Core/KrSquareHelix
        Core/KrLogTypes Core/KrProgressHandler System/KrThreads
        Utils/KrCrc32 Utils/KrCrc64 Utils/KrCrcFold Utils/KrCrcInternal Utils/KrCrcKernels
        Utils/KrDateTime Utils/KrMD5)

# The stream interface and the streams that live in memory.
krstd_layer(MemStreams USES Frame
  UNITS Streams/KrStream Streams/KrMemoryStream Streams/KrFixedMemStream Streams/KrFixedBufferRead
        Streams/KrBlockMemStream Streams/KrStringStream Streams/KrPartStream
        Streams/KrPassThroughStream Streams/KrResourceStream Streams/KrNullStream
        Streams/KrBinReadWrite Streams/KrStreamUtils Streams/KrStreamContent Streams/KrBufferedWriter)

# The process-wide log, its Qt bridge and the system log; progress implementations.
krstd_layer(Logging USES MemStreams
  UNITS Core/KrLog Core/KrLogParser Core/KrQtLogBridge Core/KrSysLog
        Core/KrBaseProgress Core/KrProgress Core/KrProgressSplitter Core/KrMTProgress
        Core/KrThreadProgress Core/KrIterationsProgress Core/KrCallbackProgress)

# XML scanning, escaping, the DOM and tag search paths. Knows no settings format.
krstd_layer(Xml USES MemStreams
  UNITS Xml/KrXmlParser Xml/KrXmlCharClass Xml/KrXmlEscape Xml/KrXmlEscapeInternal Xml/KrXmlDocument Xml/KrXmlDom
        Xml/KrXmlDomReader Xml/KrXmlDomWriter Xml/KrXmlSearchPath)

# The XIni item tree and the abstract reader and writer.
krstd_layer(XIniTree USES Xml
  UNITS XIni/KrXIniItemType XIni/KrXIniTree XIni/KrXIniReader XIni/KrXIniWriter
        XIni/KrXIniInternal XIni/KrXIniSerialize
        XIni/KrXIniDateTime XIni/KrXIniString XIni/KrXIniStore XIni/KrXIniTreeBuilder)

# Coordinate vectors, bounds and matrices shared by geometry, raster and transforms. Declared
# below the language texts (which they do not need), so that their tests link the layers' objects
# and see Eigen, which the transform tests use as the independent referee.
krstd_layer(MathTypes USES Frame
  UNITS Math/KrVec Math/KrLimits Math/KrMatrix)

# Plane transforms, their storage by name and their estimation from point pairs; residual
# statistics. Eigen (header-only) solves the fits and eigen-problems; no public header names it.
find_package(Eigen3 3.3 REQUIRED NO_MODULE)
krstd_layer(Transforms USES MathTypes XIniTree LINKS Eigen3::Eigen
  UNITS Math/Transforms/Kr2DTransform Math/Transforms/KrUnityTransform Math/Transforms/KrShiftTransform
        Math/Transforms/KrAffineTransform Math/Transforms/KrProjectiveTransform
        Math/Transforms/KrCombinedTransform Math/Transforms/KrTransformUtils
        Math/Transforms/KrTransformLoops Math/Transforms/KrTransformItems
        Math/Transforms/KrZelMatrix Math/Transforms/KrMatchPoints
        Utils/KrDeltas)

# Path text rules, disk access by path, paths in settings.
krstd_layer(Paths USES Logging XIniTree
  UNITS System/KrPath System/KrPathDisk System/KrPathMetadata System/KrPathXIni)

# Files, lock files and gzip.
set(KRSTD_DEFLATE_LINKS)
if(LIBDEFLATE_FOUND)
  set(KRSTD_DEFLATE_LINKS PkgConfig::LIBDEFLATE)
endif()
krstd_layer(Files USES Paths LINKS ZLIB::ZLIB ${KRSTD_DEFLATE_LINKS}
  UNITS Streams/KrFileStream Streams/KrMemoryStreamFile Streams/KrLockFile Streams/KrZLib Streams/KrGZipFormat
        Streams/KrGZipFormatInternal Streams/KrGZipReader Streams/KrGZipWriter Streams/KrGZipWhole
        Streams/KrGZipParallel)
if(LIBDEFLATE_FOUND)
  target_compile_definitions(KrStd_Files PRIVATE KRSTD_HAVE_LIBDEFLATE=1)
endif()

# XIni text: loading, the lazy and parallel readers, the writers, trees to and from text.
krstd_layer(XIniText USES Files
  UNITS XIni/KrBigBuffer XIni/KrMapGuard XIni/KrFixStack XIni/KrXIniDocQ XIni/KrXIniLoad XIni/KrXIniNumberText
        XIni/KrXIniValueText XIni/KrXIniReadTree XIni/KrXIniStreamReader
        XIni/KrXIniStreamReaderMT XIni/KrXmlCollIniQ XIni/KrXIniStreamWriter XIni/KrXIniTreeReader
        XIni/KrXIniTreeWriter XIni/KrXIniWriteTree)

# Language texts and the Qt translator over them.
krstd_layer(Language USES XIniText
  UNITS Core/KrLanguage Core/KrLanguageInternal Core/KrTranslator)

# Page-cached and checksummed streams.
krstd_layer(CacheStreams USES Language
  UNITS Streams/KrCacheStream Streams/KrCrc32Stream)

# Raster sources read by sampling grid: pixel layouts, leaf sources, rescaling and pyramids.
krstd_layer(Raster USES MathTypes XIniTree LINKS OpenMP::OpenMP_CXX
  UNITS Raster/KrDibRect Raster/KrDibChannels Raster/KrDibBuffer Raster/KrDibData Raster/KrRasterInternal
        Raster/KrRawDibData Raster/KrRawMemDibData Raster/KrVoidDibData Raster/KrMultiScaleDibData
        Raster/KrDibFilter2D Raster/KrDibHalving Raster/KrScaleDibData)

# Spatial indexes: quad trees, point grids and the block allocator they draw nodes from; the
# older box quad trees over fragmented buffers, the range octree (saved to streams and XIni), the
# regular value grid.
krstd_layer(SpatialIndex USES MathTypes XIniTree
  UNITS Math/Index/KrBlockAllocator Math/Index/KrCellFrame Math/Index/KrItemChunks Math/Index/KrQuadTree
        Math/Index/KrPointsQuadTree Math/Index/KrQuadWalk Math/Index/KrStaticPointsGrid Math/Index/KrStaticQuadTree
        Math/Index/KrFragmentedBuffer Math/Index/KrQuadTreeBase Math/Index/KrSingleQueryQuadTree
        Math/Index/KrMultiThreadQuadTree Math/Index/KrBaseOctoTree Math/Index/KrRangeOctoTree
        Math/Index/KrDataGrid)

# Delimited text tables: line parser, header template, column-bound line writer.
krstd_layer(Csv USES XIniText
  UNITS XIni/KrCSV)

# Cubic interpolation splines and their lookup tables; saved as a small binary record.
krstd_layer(Curves USES MathTypes MemStreams
  UNITS Math/Curves/KrCubeSpline Math/Curves/KrInterpolationCubeSplineUnit)

# Tar archives and tarballs over any stream.
krstd_layer(Archives USES CacheStreams
  UNITS Streams/KrTarRecord Streams/KrTarHeader Streams/KrTarWriter Streams/KrTarReader
        Streams/KrTarBall Streams/KrMemTarBall)

# URL-addressed resources: the scheme registry, the "file" and "mem" handlers, file utilities.
krstd_layer(Urls USES CacheStreams
  UNITS System/KrFileUtils Streams/KrURL Streams/KrURLManager Streams/KrURLFileHandler
        Streams/KrURLMemHandler Streams/KrURLBackup)

# Polyline thinning and densifying; geometric constraints for placing a point and their crossings.
krstd_layer(Lines USES MathTypes
  UNITS Math/Lines/KrThinOutLine Math/Constraints/KrLinePrimitives Math/Constraints/KrConstrain)

# INI files of the library's own dialect and the registry emulated over Qt's INI settings.
krstd_layer(Ini USES Files
  UNITS XIni/KrIni XIni/KrRegistry)

# Figure shapes: moving, measuring and centring plane figures, contour integrals along their
# edges, and shape similarity from the Fourier series of r²(φ).
krstd_layer(Shapes USES MathTypes
  UNITS Math/Shapes/KrFigure Math/Shapes/KrContourSteps Math/Shapes/KrContourIntegral
        Math/Shapes/KrFeatureCorrR2)

# Plane regions: contours, domains with holes and planar sets, in doubles and on integer grids.
krstd_layer(PolygonModel USES MathTypes
  UNITS Math/Polygon/KrPolygonTypes)

# Dynamic libraries, the package protocol and the store of persistent packages.
krstd_layer(Packages USES Paths
  UNITS System/KrLibrary System/KrPackage System/KrPersistentModules)

# Child processes, the process table, machine facts, sleeping, last-resort notifications.
krstd_layer(Processes USES Paths
  UNITS System/KrProcess System/KrSysProcessInfo System/KrSysInfo System/KrSysTime System/KrSysNotify)

# Channel and colour transforms of raster sources read tile by tile: layout conversions and
# channel remaps, brightness/contrast/gamma tables, background masks.
krstd_layer(RasterColor USES Raster
  UNITS Raster/KrByPartsChannelTransform Raster/KrChannelMixer Raster/KrChannelTransform
        Raster/KrColorTransformDibData Raster/KrBCGConverter Raster/KrBCGTransformFunction
        Raster/KrBCGDibData Raster/KrMaskDibData)

# Composite and synthetic raster sources: overlays (mosaics), detachable placeholders, the
# checkerboard pyramid and the deterministic test patterns.
krstd_layer(RasterComposite USES Raster
  UNITS Raster/KrOverlayDibData Raster/KrTearSourceDibData Raster/KrCheckersDibData Raster/KrTestDibData)

# Tile caches over raster sources: the shared byte-budgeted memory cache, the tile cache, sources
# created on first read, and pyramids held whole in memory.
krstd_layer(RasterCache USES RasterColor
  UNITS Raster/KrMemCache Raster/KrRectLoops Raster/KrCacheDibData Raster/KrDelayedDibData
        Raster/KrMultiScaleFullCacheDibData)

# Questions to the user through the process-wide handler (silent by default), and a console
# handler that asks on a terminal.
krstd_layer(Interaction USES Frame
  UNITS Utils/KrQMLibHandlers Utils/KrConsoleQMLibHandlers)

# Space transforms (chains merge neighbours into one 4×4 matrix) and the rotation angles of an
# exterior orientation with their settings section.
krstd_layer(Transforms3D USES Transforms
  UNITS Math/Transforms/Kr3DTransform Math/Transforms/KrSimple3DTransforms Math/Transforms/KrAffineTransform3D
        Math/Transforms/Kr3DProjectiveTransform Math/Transforms/KrCombinedTransform3D Math/Transforms/KrAnglesAOK)

# Log files with their flush policy, names and clean-up, the console log, the start-up log.
krstd_layer(LogFiles USES Files Processes
  UNITS Core/KrLogFileStream Core/KrLogCreate Core/KrRunFacts Core/KrStartupLog)

# Console progress: the level form, the common handler over it, the terminal bar for tools.
krstd_layer(ConsoleProgress USES Language
  UNITS Core/KrConsoleProgressForm Core/KrCommonProgressImpl Core/KrSimpleConsoleProgress
        Core/KrLogProgress Core/KrCmdProgress)

# The polygon graph: snapping, splitting and merging boundaries of two or many inputs, rebuilding
# their regions, and the union of many regions; the older graph generation.
krstd_layer(PolygonGraph USES PolygonModel SpatialIndex Logging
  UNITS Math/Polygon/KrPolygonGraphTypes Math/Polygon/KrPolygonGraphW Math/Polygon/KrBoolPolygonGraphW
        Math/Polygon/KrBoolPolygonGraphW2 Math/Polygon/KrOldPolygonGraph)

# Elevation palettes: packed colours, the analytic and table palettes and their registry.
krstd_layer(Palettes USES MathTypes
  UNITS Output/KrColorRef Output/KrElevationPalette)

# Geometry as vector text blocks, and contours and domains as binary records.
krstd_layer(TextExport USES Files PolygonModel
  UNITS Output/KrTXTWriter Output/KrContourBin)

# Report templates expanded against string variables, with language texts.
krstd_layer(Reports USES Language
  UNITS Output/KrReportGenerator)

# Boolean operations on plane regions through interchangeable back ends (Boost.Geometry,
# Boost.Polygon, Clipper, the domain toolkit over Clipper), and the regions' XIni persistence.
krstd_layer(PolygonBool USES PolygonModel XIniTree LINKS PkgConfig::POLYCLIPPING
  UNITS Math/Polygon/KrPolygonGrid Math/Polygon/KrPolygonPerimeter Math/Polygon/KrPolygonBGConvert Math/Polygon/KrPolygonBG
        Math/Polygon/KrPolygonBPConvert Math/Polygon/KrPolygonBP Math/Polygon/KrPolygonClipperConvert
        Math/Polygon/KrPolygonClipper Math/Polygon/KrDomainBool Math/Polygon/KrPolygonKr
        Math/Polygon/KrPolygonXIni)

# The aligning Boolean back end: the polygon graph aligns the operands, Boost.Geometry combines.
krstd_layer(PolygonAlign USES PolygonGraph PolygonBool
  UNITS Math/Polygon/KrPolygonAlign)

# Module start-up: the one unit that calls every layer's initialiser.
krstd_layer(Startup USES CacheStreams MathTypes Transforms Raster SpatialIndex Archives Urls Curves Csv Lines Ini Shapes PolygonModel Packages Processes RasterColor RasterComposite RasterCache Transforms3D Interaction LogFiles ConsoleProgress PolygonGraph Palettes TextExport Reports PolygonBool PolygonAlign
  UNITS Core/KrModuleStartup Core/KrModuleInternal)

krstd_check_layers()
get_property(KRSTD_LAYERS GLOBAL PROPERTY KRSTD_LAYERS)
