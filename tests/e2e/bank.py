"""The countries and capitals the quiz asks, as the end-to-end tests answer them."""

CAPITALS = {
    "Peru": "Lima", "Brazil": "Brasilia", "Argentina": "Buenos Aires", "Chile": "Santiago",
    "Colombia": "Bogota", "Venezuela": "Caracas", "Bolivia": "La Paz", "Uruguay": "Montevideo",
    "Ecuador": "Quito", "Guyana": "Georgetown", "Paraguay": "Asuncion", "Suriname": "Paramaribo",
}
QUESTION = "Name the capital of "
