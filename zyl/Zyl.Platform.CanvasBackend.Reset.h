// For tests only: puts the canvas-backend state back to the process start,
// which the program itself never does (its registry, choice, services and
// presenters live until the process ends).
#pragma once

namespace Zyl {

// Empties the registry and the choices, removes the platform services and
// the presenters.
void ResetCanvasBackendState();
// Forgets the presenter instances and the current presenter.
void ResetCanvasPresenters();

} // namespace Zyl
