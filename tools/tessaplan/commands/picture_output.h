#pragma once

#include <memory>
#include <string>

#include <tessaplan/distortion.h>
#include <velmora/mesh/triangulated_surface.h>

#include "cli/options.h"
#include "writing/distortion_picture.h"
#include "writing/output_file.h"

namespace tessaplan
{
    /// The pictures a run asks for with --svg and --png, each an OutputFile
    /// opened when this is made, so that an unwritable path fails before
    /// any work is spent.
    class PictureOutput
    {
    public:
        /// Opens the files asked for. Throws CliError as OutputFile does.
        explicit PictureOutput(const Options& options);

        /// Whether any picture is asked for.
        bool wanted() const { return svg_ || png_; }

        /// Draws `layout` into every picture asked for (see
        /// draw_distortion_picture), titled by the input's name. Throws
        /// CliError as write_distortion_svg and write_distortion_png do.
        void write(const nodara::TriangulatedSurface<2>& layout,
                   const nodara::TriangleDistortions& distortions,
                   const nodara::DistortionSummary& summary,
                   PictureBorders borders);

        /// The files for commit_together, null when not asked for.
        OutputFile* svg() const { return svg_.get(); }
        OutputFile* png() const { return png_.get(); }

    private:
        std::string title_;
        std::unique_ptr<OutputFile> svg_;
        std::unique_ptr<OutputFile> png_;
    };
}  // namespace tessaplan
