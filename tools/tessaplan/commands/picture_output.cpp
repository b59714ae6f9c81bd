#include "commands/picture_output.h"

#include "cli/printable_text.h"
#include "writing/png_writer.h"
#include "writing/svg_writer.h"

namespace tessaplan
{
    namespace
    {
        std::unique_ptr<OutputFile> open_if_given(const std::string& path)
        {
            return path.empty() ? nullptr : std::make_unique<OutputFile>(path);
        }
    }  // namespace

    PictureOutput::PictureOutput(const Options& options)
        : title_(printable(options.input)),
          svg_(open_if_given(options.svg)),
          png_(open_if_given(options.png))
    {
    }

    void PictureOutput::write(const nodara::TriangulatedSurface<2>& layout,
                              const nodara::TriangleDistortions& distortions,
                              const nodara::DistortionSummary& summary,
                              PictureBorders borders)
    {
        if (svg_)
        {
            write_distortion_svg(layout, distortions, summary, title_, *svg_,
                                 borders);
        }
        if (png_)
        {
            write_distortion_png(layout, distortions, summary, title_, *png_,
                                 borders);
        }
    }
}  // namespace tessaplan
