int tessarin_sim_placeholder = 0;
